#include "ui/QtFileChooser.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace orv {

QtFileChooser::QtFileChooser(QString startFolder) : m_folder(std::move(startFolder)) {}

QString QtFileChooser::QtFilter(const std::string& filter)
{
    // Pairs of description and pattern, separated by '|', ended by "||".
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList descriptions;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        descriptions << parts[i];
    }
    return descriptions.join(";;");
}

std::optional<std::string> QtFileChooser::ChooseOpen(const FileDialogOptions& options)
{
    return Run(options, false);
}

std::optional<std::string> QtFileChooser::ChooseSave(const FileDialogOptions& options)
{
    return Run(options, true);
}

std::optional<std::string> QtFileChooser::Run(const FileDialogOptions& options, bool save)
{
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(options.caption));
    dialog.setNameFilter(QtFilter(options.filter));
    dialog.setDefaultSuffix(QString::fromStdString(options.defaultExtension));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !options.mustExist ? QFileDialog::AnyFile
                                                  : QFileDialog::ExistingFile);
    if (!options.confirmOverwrite) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    dialog.setOption(QFileDialog::ReadOnly, false);

    const QString initial = QString::fromStdString(options.initialName);
    const QFileInfo initialInfo(initial);
    QString folder = m_folder;
    if (!options.folder.empty() && QFileInfo(QString::fromStdString(options.folder)).isDir()) {
        folder = QString::fromStdString(options.folder);
    }
    if (initialInfo.isAbsolute() && initialInfo.dir().exists()) {
        folder = initialInfo.absolutePath();
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        // The documents folder the program started with may not exist on a field tablet.
        folder = QDir::homePath();
    }
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    // A pattern such as "*.orv" is the filter's business, not a name.
    if (!initial.contains('*')) {
        dialog.selectFile(initialInfo.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    m_folder = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
}

}  // namespace orv
