#pragma once
// A session file opened as the tools open it: with the settings and calibrations the user names
// (or the program's own) and the tools' prompt. The survey must not outlive the ToolSession
// whose configuration it reads.

#include "ToolPrompt.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "platform/QtSettingsStore.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"

#include <memory>
#include <string>
#include <vector>

namespace orv::tool {

class ToolSession
{
public:
    ToolSession(const std::string& settingsPath, const std::string& calibrationPath)
        : m_store(settingsPath, "Default values"), m_config(m_store, calibrationPath, m_prompt)
    {}

    // The survey of the file at `path`, or null with "<path>: <reason> <detail>" in `error`.
    std::unique_ptr<Survey> Open(const std::string& path, std::string& error)
    {
        std::string reason;
        std::string detail;
        std::unique_ptr<Survey> survey = OpenSession(path, m_config, reason, &detail);
        if (!survey) {
            error = path + ": " + reason + (detail.empty() ? "" : " " + detail);
        }
        return survey;
    }

    // Applies --set NAME=VALUE settings in order; false with the first refusal in `error`.
    bool Apply(const std::vector<std::string>& settings, std::string& error)
    {
        for (const std::string& setting : settings) {
            if (!ApplySetting(m_config, setting, error)) {
                return false;
            }
        }
        return true;
    }

    Configuration& Config() { return m_config; }
    Prompt& UsedPrompt() { return m_prompt; }

private:
    QtSettingsStore m_store;
    ToolPrompt m_prompt;
    Configuration m_config;
};

}  // namespace orv::tool
