#pragma once
// The composition root of the commands that talk to the instrument (measure, battery, survey):
// the window's Program without a screen. It makes, in order, the Qt core application the serial
// ports need, the settings store (read, never written: these commands change nothing stored),
// the tools' prompt, the two serial ports, a system clock that is never set, and the program's
// ProgramCore over them.

#include "ToolPrompt.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "session/ProgramCore.h"

#include <QCoreApplication>

#include <string>

namespace orv::tool {

// The tools never set the computer's clock from GPS time.
class NoClockSetting final : public SystemClock
{
public:
    bool Set(const UtcTime&) override { return false; }
};

class HeadlessProgram
{
public:
    HeadlessProgram(const std::string& settingsPath, const std::string& calibrationPath,
                    uint32_t replyTimeoutMs)
        : m_store(settingsPath, "Default values"),
          m_core(PlatformParts{m_store, calibrationPath, m_prompt, m_instrumentPort, m_gpsPort,
                               SteadyTickClock(), m_clock, nullptr,
                               LinkTimings{replyTimeoutMs, LinkTimings{}.idleSleepMs}})
    {}

    ProgramCore& Core() { return m_core; }
    Prompt& ToolPromptInUse() { return m_prompt; }

private:
    int m_argc = 1;
    char m_name[8] = "orvtool";
    char* m_argv[2] = {m_name, nullptr};
    QCoreApplication m_application{m_argc, m_argv};
    QtSettingsStore m_store;
    ToolPrompt m_prompt;
    QtSerialPort m_instrumentPort;
    QtSerialPort m_gpsPort;
    NoClockSetting m_clock;
    ProgramCore m_core;
};

}  // namespace orv::tool
