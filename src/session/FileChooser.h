#pragma once
// The file dialogs of the window behind a small interface, so tests answer them without a
// screen. Filters are in the handheld's form, "ORV Files (*.orv)|*.orv|All Files (*.*)|*.*||".

#include <optional>
#include <string>

namespace orv {

struct FileDialogOptions
{
    std::string caption;
    std::string defaultExtension;  // appended when the chosen name has none, e.g. "orv"
    std::string initialName;       // a file name, a path, or a pattern such as "*.orv"
    std::string folder;            // where the dialog opens; empty: the chooser's own choice
    std::string filter;
    bool mustExist = false;         // open dialogs
    bool confirmOverwrite = false;  // save dialogs
};

class FileChooser
{
public:
    virtual ~FileChooser() = default;
    // The chosen path, or nothing when the operator cancelled.
    virtual std::optional<std::string> ChooseOpen(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> ChooseSave(const FileDialogOptions& options) = 0;
};

}  // namespace orv
