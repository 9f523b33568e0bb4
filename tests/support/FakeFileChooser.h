#pragma once
// Answers the file dialogs from a script: each dialog takes the next queued path, or is
// cancelled when none is left; the options of every dialog are kept.

#include "session/FileChooser.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace orv {

class FakeFileChooser final : public FileChooser
{
public:
    std::optional<std::string> ChooseOpen(const FileDialogOptions& options) override
    {
        return Next(options);
    }
    std::optional<std::string> ChooseSave(const FileDialogOptions& options) override
    {
        return Next(options);
    }

    std::deque<std::optional<std::string>> answers;
    std::vector<FileDialogOptions> shown;

private:
    std::optional<std::string> Next(const FileDialogOptions& options)
    {
        shown.push_back(options);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace orv
