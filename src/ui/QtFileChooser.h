#pragma once
// FileChooser with the standard Qt file dialogs. It remembers the folder of the last file
// chosen for the rest of the run; the first dialog opens in `startFolder`.

#include "session/FileChooser.h"

#include <QString>

namespace orv {

class QtFileChooser final : public FileChooser
{
public:
    explicit QtFileChooser(QString startFolder);
    std::optional<std::string> ChooseOpen(const FileDialogOptions& options) override;
    std::optional<std::string> ChooseSave(const FileDialogOptions& options) override;

    // "ORV Files (*.orv)|*.orv|All Files (*.*)|*.*||" as "ORV Files (*.orv);;All Files (*.*)".
    static QString QtFilter(const std::string& filter);

private:
    std::optional<std::string> Run(const FileDialogOptions& options, bool save);
    QString m_folder;
};

}  // namespace orv
