// Tests of the file and folder choosers, driving the dialogs the platform shows.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "ui/chooser_loop.h"
#include "ui/qt_file_dialog.h"
#include "ui/qt_folder_dialog.h"

using namespace pellix;

namespace {

QFileDialog* OpenDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Runs `act` on the dialog once it is up (checking again until it is).
void WhenDialogOpens(std::function<void(QFileDialog&)> act) {
    QTimer::singleShot(0, [act] {
        if (QFileDialog* dialog = OpenDialog()) {
            act(*dialog);
        } else {
            WhenDialogOpens(act);
        }
    });
}

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class ChoosersTest : public QObject {
    Q_OBJECT

  private slots:
    void filterBecomesNameFiltersInOrder_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("rom") << "GBA ROMs|*.gba|All files|*.*"
                             << QStringList{"GBA ROMs (*.gba)", "All files (*)"};
        QTest::newRow("three entries")
            << "Bitmap images|*.bmp|PNG images|*.png|All files|*.*"
            << QStringList{"Bitmap images (*.bmp)", "PNG images (*.png)", "All files (*)"};
        QTest::newRow("several patterns")
            << "Pictures|*.bmp;*.png" << QStringList{"Pictures (*.bmp *.png)"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("description without pattern") << "A|*.a|Dangling" << QStringList{"A (*.a)"};
    }
    void filterBecomesNameFiltersInOrder() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(modOpenFileDialog::NameFilters(filter.toStdString()), expected);
    }

    void openDialogKeepsItsContract() {
        QTemporaryDir dir;
        Touch(dir.filePath("game.gba"));
        QWidget mainWindow;
        mainWindow.show();
        bool checked = false;
        WhenDialogOpens([&](QFileDialog& dialog) {
            QCOMPARE(dialog.nameFilters(), (QStringList{"Bitmap images (*.bmp)", "All files (*)"}));
            QCOMPARE(dialog.selectedNameFilter(), QString("Bitmap images (*.bmp)"));
            QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
            QCOMPARE(dialog.defaultSuffix(), QString("bmp"));
            QCOMPARE(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
            // Without an owner no window is blocked.
            QVERIFY(!QApplication::activeModalWidget());
            QVERIFY(!mainWindow.testAttribute(Qt::WA_Disabled));
            checked = true;
            dialog.reject();
        });
        const std::string cancelled = modOpenFileDialog::ShowOpenDialog(
            "Bitmap images|*.bmp|All files|*.*", "bmp", dir.path().toStdString(),
            modOpenFileDialog::OFN_FILEMUSTEXIST, nullptr);
        QVERIFY(checked);
        QCOMPARE(cancelled, std::string());
        QVERIFY(!OpenDialog());
    }

    // "All files" lists every file, names without a dot included; the first entry only its own.
    void filterEntriesListTheirFiles_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("GBA ROMs") << "GBA ROMs (*.gba)" << QStringList{"game.gba"};
        QTest::newRow("All files")
            << "All files (*)" << QStringList{"game", "game.gba", "notes.txt"};
    }
    void filterEntriesListTheirFiles() {
        QFETCH(QString, entry);
        QFETCH(QStringList, listed);
        QTemporaryDir dir;
        for (const char* name : {"game", "game.gba", "notes.txt"}) Touch(dir.filePath(name));
        QStringList shown;
        bool looked = false;
        WhenDialogOpens([&](QFileDialog& dialog) {
            // Closed however the checks end, so the chooser's loop always returns.
            struct Rejecter {
                QFileDialog& d;
                ~Rejecter() { d.reject(); }
            } rejecter{dialog};
            dialog.selectNameFilter(entry);
            auto* model = dialog.findChild<QFileSystemModel*>();
            QVERIFY(model);
            const QModelIndex folder = model->index(dir.path());
            QTRY_COMPARE(model->rowCount(folder), listed.size());
            for (int row = 0; row < model->rowCount(folder); ++row)
                shown << model->fileName(model->index(row, 0, folder));
            looked = true;
        });
        modOpenFileDialog::ShowOpenDialog("GBA ROMs|*.gba|All files|*.*", "gba",
                                          dir.path().toStdString(),
                                          modOpenFileDialog::OFN_FILEMUSTEXIST, nullptr);
        QVERIFY(looked);
        shown.sort();
        QCOMPARE(shown, listed);
    }

    void openDialogReturnsTheFullPath_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("picked by full path") << "game.gba";
        QTest::newRow("typed without extension") << "game";
    }
    void openDialogReturnsTheFullPath() {
        QFETCH(QString, typed);
        QTemporaryDir dir;
        Touch(dir.filePath("game.gba"));
        WhenDialogOpens([&](QFileDialog& dialog) {
            dialog.selectFile(typed);
            static_cast<QDialog&>(dialog).accept();
        });
        const std::string chosen = modOpenFileDialog::ShowOpenDialog(
            "GBA ROMs|*.gba|All files|*.*", "gba", dir.path().toStdString(),
            modOpenFileDialog::OFN_FILEMUSTEXIST, nullptr);
        QCOMPARE(QString::fromStdString(chosen),
                 QDir::toNativeSeparators(dir.filePath("game.gba")));
    }

    void folderBrowserKeepsItsContract() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("out"));
        QWidget owner;
        owner.show();
        WhenDialogOpens([&](QFileDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QString("Select a Folder"));
            QCOMPARE(dialog.fileMode(), QFileDialog::Directory);
            QVERIFY(dialog.testOption(QFileDialog::ShowDirsOnly));
            QCOMPARE(dialog.parentWidget(), &owner);
            QCOMPARE(QApplication::activeModalWidget(), &dialog);  // the owner is blocked
            dialog.setDirectory(dir.path());
            dialog.selectFile(dir.filePath("out"));
            static_cast<QDialog&>(dialog).accept();
        });
        const std::string chosen = modBrowseFolders::BrowseFolder(
            &owner, "Select a Folder", modBrowseFolders::BIF_RETURNONLYFSDIRS,
            modBrowseFolders::CSIDL_DESKTOP);
        QCOMPARE(QString::fromStdString(chosen), QDir::toNativeSeparators(dir.filePath("out")));

        WhenDialogOpens([](QFileDialog& dialog) { dialog.reject(); });
        QCOMPARE(modBrowseFolders::BrowseFolder(&owner, "Select a Folder", 1, 0), std::string());
    }

    void folderResultHasNoTrailingSeparatorExceptARoot_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/srv/out"
                               << "/srv/out";
        QTest::newRow("trailing") << "/srv/out/"
                                  << "/srv/out";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("nothing") << ""
                                 << "";
#ifdef _WIN32
        QTest::newRow("drive root") << "C:/"
                                    << "C:/";
        QTest::newRow("drive folder") << "C:/out"
                                      << "C:/out";
#endif
    }
    void folderResultHasNoTrailingSeparatorExceptARoot() {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(modBrowseFolders::FolderResult(chosen)),
                 QDir::toNativeSeparators(expected));
    }

    // The main window ends its choosers when it closes: every open dialog reads as cancelled,
    // the inner one of two nested dialogs included.
    void closingTheChoosersCancelsThemAll() {
        QTemporaryDir dir;
        Touch(dir.filePath("a.gba"));
        std::string inner = "unset";
        WhenDialogOpens([&](QFileDialog& outer) {
            outer.selectFile(dir.filePath("a.gba"));
            QTimer::singleShot(0, [&] {
                QTimer::singleShot(0, [] { ui::CloseOpenChoosers(); });
                inner = modOpenFileDialog::ShowOpenDialog("All files|*.*", "",
                                                          dir.path().toStdString(), 0, nullptr);
            });
        });
        const std::string outer = modOpenFileDialog::ShowOpenDialog(
            "All files|*.*", "", dir.path().toStdString(), 0, nullptr);
        QCOMPARE(outer, std::string());
        QCOMPARE(inner, std::string());
        QVERIFY(!OpenDialog());
    }
};

QTEST_MAIN(ChoosersTest)
#include "test_choosers.moc"
