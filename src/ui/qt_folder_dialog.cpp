// modBrowseFolders over QFileDialog in folder mode (the platform's native one where it has one).
#include "ui/qt_folder_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

#include "ui/chooser_loop.h"

namespace pellix::modBrowseFolders {

namespace {

// Where the chooser starts for a root folder id. Our dialogs cannot fence the user into a
// subtree, so the root only decides the start; every id starts at the desktop.
QString StartFolder(std::int32_t /*root*/) {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QDir(desktop).exists()) {
        return desktop;
    }
    return QDir::homePath();
}

}  // namespace

std::string FolderResult(const QString& chosen) {
    if (chosen.isEmpty()) {
        return "";
    }
    // cleanPath drops a trailing separator but keeps the one of a root ("/", "C:/").
    return QDir::toNativeSeparators(QDir::cleanPath(chosen)).toStdString();
}

std::string BrowseFolder(QWidget* owner, const std::string& title, std::uint32_t /*flags*/,
                         std::int32_t root) {
    // Every folder the dialog offers is a file-system folder, so BIF_RETURNONLYFSDIRS holds
    // whatever the flags say.
    auto* dialog = new QFileDialog(owner);
    dialog->setWindowTitle(QString::fromStdString(title));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setDirectory(StartFolder(root));

    const std::optional<QStringList> chosen = ui::RunChooser(dialog);
    if (!chosen || chosen->isEmpty()) {
        return "";
    }
    return FolderResult(chosen->front());
}

}  // namespace pellix::modBrowseFolders
