// pellix: starts the main window; the run ends when the last window has closed.
#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "ui/frm_pellix.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    try {
        pellix::ui::frmPellix window;
        window.show();
        return app.exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "Quillmere", QString::fromUtf8(error.what()));
        return 1;
    }
}
