// pellix: starts the main window; the run ends when the last window has closed, or when
// the program is interrupted.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <exception>

#include "builder/shell_wait.h"
#include "system/console.h"
#include "ui/frm_pellix.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    int status = 0;
    try {
        pellix::ui::frmPellix window;
        // SIGTERM, SIGHUP or SIGINT (a logout, a shutdown, kill) closes the window as the
        // user would: a running build stops and cleans up first. The handler may only set
        // flags; the event loop, also live during a build, looks at them.
        pellix::console::StopOnInterrupt(&pellix::modShellWait::CancelAll);
        QTimer interrupts;
        QObject::connect(&interrupts, &QTimer::timeout, [&] {
            if (!pellix::console::Interrupted()) return;
            // A message or a chooser waits for no one now.
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            if (window.isVisible()) window.close();
            if (!window.isVisible()) app.quit();
        });
        interrupts.start(50);
        window.show();
        status = app.exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "Quillmere", QString::fromUtf8(error.what()));
        status = 1;
    }
    // Ends by the signal that came, as pellix-cli does.
    pellix::console::EndIfInterrupted();
    return status;
}
