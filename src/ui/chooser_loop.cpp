// Local event loop for the choosers, and the list of those open so the main window can end them.
#include "ui/chooser_loop.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace pellix::ui {

namespace {

// The dialogs RunChooser is waiting for, innermost last (a user can open a second file
// dialog while the first one is still up, since neither blocks the main window).
std::vector<QPointer<QFileDialog>>& OpenChoosers() {
    static std::vector<QPointer<QFileDialog>> open;
    return open;
}

}  // namespace

std::optional<QStringList> RunChooser(QFileDialog* dialog) {
    QPointer<QFileDialog> guard(dialog);
    // exec() would make an ownerless dialog application-modal; a local loop over a shown
    // dialog keeps the other windows live, and a parent's window-modality still blocks it.
    dialog->setWindowModality(dialog->parentWidget() ? Qt::WindowModal : Qt::NonModal);
    QEventLoop loop;
    QObject::connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    OpenChoosers().push_back(guard);
    dialog->show();
    // The loop also ends when the application is told to quit; the dialog then counts as
    // cancelled.
    if (dialog->isVisible()) {
        loop.exec(QEventLoop::DialogExec);
    }

    auto& open = OpenChoosers();
    open.erase(std::remove(open.begin(), open.end(), guard), open.end());
    open.erase(std::remove(open.begin(), open.end(), nullptr), open.end());
    if (!guard) {
        return std::nullopt;  // its parent went away while it was open
    }
    std::optional<QStringList> chosen;
    if (!guard->isVisible() && guard->result() == QDialog::Accepted) {
        chosen = guard->selectedFiles();
    }
    guard->hide();
    delete guard.data();
    return chosen;
}

void CloseOpenChoosers() {
    // Copy first: rejecting a dialog ends its loop, which edits the list.
    const std::vector<QPointer<QFileDialog>> open = OpenChoosers();
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (*it) {
            (*it)->reject();
        }
    }
}

}  // namespace pellix::ui
