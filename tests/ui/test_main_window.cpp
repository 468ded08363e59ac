// Tests of the Qt main window: its drawing of the design, its forwarding of events to the
// window logic (whose decisions tests/app tests), the real chooser, and one whole build.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "builder/app_directory.h"
#include "ui/design_widgets.h"
#include "ui/frm_pellix.h"
#include "builder/shell_wait.h"
#ifdef PELLIX_TOOL_NDSTOOL
#include "formats/menu_icon.h"
#include "formats/nds_reader.h"
#include "support/pictures.h"
#endif

using pellix::ui::frmPellix;

namespace {

const QString kTooLarge = "This ROM is larger than 16MB. PSRAM will be disabled.";

// One recorded call of a file chooser.
struct OpenCall {
    std::string filter, defaultExt, initialDir;
    std::uint32_t flags;
    QWidget* owner;
};

// Choosers and message boxes that answer from the test and record what they were asked.
struct Fakes {
    std::string nextFile;
    std::string nextFolder;
    std::vector<OpenCall> openCalls;
    QWidget* folderOwner = nullptr;
    std::string folderTitle;
    std::uint32_t folderFlags = 0;
    std::int32_t folderRoot = -1;
    int closeAllCalls = 0;
    QStringList messages;
    std::function<void()> duringChooser;  // runs while the "dialog" is open
    std::function<void()> duringMessage;  // runs while a message box is up

    void Install(frmPellix& window) {
        pellix::ui::Choosers choosers;
        choosers.openFile = [this](const std::string& filter, const std::string& ext,
                                   const std::string& dir, std::uint32_t flags, QWidget* owner) {
            openCalls.push_back({filter, ext, dir, flags, owner});
            if (duringChooser) duringChooser();
            return nextFile;
        };
        choosers.browseFolder = [this](QWidget* owner, const std::string& title,
                                       std::uint32_t flags, std::int32_t root) {
            folderOwner = owner;
            folderTitle = title;
            folderFlags = flags;
            folderRoot = root;
            if (duringChooser) duringChooser();
            return nextFolder;
        };
        choosers.closeAll = [this] { ++closeAllCalls; };
        window.SetChoosers(choosers);
        window.SetMessageBox([this](QWidget*, const QString& text) {
            messages << text;
            if (duringMessage) duringMessage();
        });
    }
};

// A file of `size` bytes (sparse where the file system allows).
QString MakeFile(const QTemporaryDir& dir, const QString& name, qint64 size) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        qFatal("cannot make %s", qPrintable(path));
    return path;
}

namespace fs = std::filesystem;

// A portable folder for a build: bin/ with the staging folder, gfx/ with the default pictures.
// The programs themselves are either copied in (whole builds) or played by a fake runner.
struct Installation {
    QTemporaryDir root;
    fs::path app{root.path().toStdString()};
    fs::path bin = app / "bin";
    fs::path gfx = app / "gfx";

    Installation() {
        fs::create_directories(bin / "data");
        fs::create_directories(gfx);
        WriteFile(gfx / "icon.bmp", "icon");
        WriteFile(gfx / "border.bmp", "border");
        WriteFile(bin / "7.bin", "ARM7");
        WriteFile(bin / "9.bin", "ARM9");
        pellix::SetApplicationDirectory(app.string());
    }

    static void WriteFile(const fs::path& path, const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Plays the five programs in the build's working folder: each leaves the file the build
    // expects of it. `during` runs while the named program "runs", with the window's events
    // still being dispatched.
    pellix::ToolRunner FakeRunner(std::map<std::string, std::function<void()>> during = {}) {
        return [during](const std::string& commandLine, const std::string& workDir) {
            // The program path comes first, in double quotes.
            const std::string program = commandLine.substr(1, commandLine.find('"', 1) - 1);
            const std::string name = fs::path(program).stem().string();
            const fs::path work = fs::u8path(workDir);
            if (name == "gzip") {
                WriteFile(work / "data/game.gz", ReadFile(work / "data/game"));
                fs::remove(work / "data/game");
            } else if (name == "grit") {
                WriteFile(work / "border.img.bin", "pixels");
            } else if (name == "gbacrusher") {
                WriteFile(work / "data/border.lz7", "packed");
            } else if (name == "ndstool") {
                WriteFile(work / "x.nds", "package " + ReadFile(work / "data/mode.txt"));
            }
            if (auto it = during.find(name); it != during.end()) it->second();
            pellix::modShellWait::RunResult result;
            result.started = true;
            result.exitCode = 0;
            return result;
        };
    }
};

// Drags `files` onto the window and drops them at `at` (window coordinates) the way the
// window system does: to the widget under the point, from which Qt passes the events up to
// the first widget that takes drops. Returns whether the drag was accepted; the drop's
// work (queued after the drop returns) has run when this returns.
bool DropFiles(QWidget& window, const QStringList& files, QPoint at) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << (file.contains("://") ? QUrl(file) : QUrl::fromLocalFile(file));
    mime.setUrls(urls);
    QWidget* target = window.childAt(at);
    if (!target) target = &window;
    const QPoint local = target->mapFrom(&window, at);
    QDragEnterEvent enter(local, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(local), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
    return true;
}

// The centre of a control, in window coordinates.
QPoint CentreOf(QWidget& window, QWidget* control) {
    return control->mapTo(&window, control->rect().center());
}

QRect Twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// Everything the customisation panel may change, for comparing two states.
struct LayoutSnapshot {
    QMap<QString, QRect> geometry;
    QMap<QString, bool> hidden;
    QString caption;
    QSize client;
    bool operator==(const LayoutSnapshot& other) const {
        return geometry == other.geometry && hidden == other.hidden && caption == other.caption &&
               client == other.client;
    }
};

LayoutSnapshot Snapshot(frmPellix& window) {
    LayoutSnapshot snap;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (child->objectName().isEmpty()) continue;
        snap.geometry[child->objectName()] = child->geometry();
        snap.hidden[child->objectName()] = child->isHidden();
    }
    snap.caption = window.cmdCustomize->text();
    snap.client = window.size();
    return snap;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        // A build makes the installation's bin folder current; it must not outlive its test.
        startDir_ = QDir::currentPath();
        window_ = std::make_unique<frmPellix>();
        fakes_ = std::make_unique<Fakes>();
        fakes_->Install(*window_);
    }
    void cleanup() {
        window_.reset();
        fakes_.reset();
        pellix::SetApplicationDirectory("");
        QDir::setCurrent(startDir_);
    }

    void startStateMatchesTheDesign() {
        frmPellix& w = *window_;
        QCOMPARE(w.windowTitle(), QString("Quillmere v1.2.1 GUI (by Fennbrook)"));
        QCOMPARE(w.size(), QSize(569, 401));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        // The icon's cyan background is see-through; the handheld in its middle is not.
        const QImage icon = w.windowIcon().pixmap(32, 32).toImage();
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(icon.pixel(16, 16)), 255);
        QVERIFY(!w.topBanner->pixmap().isNull());
        QCOMPARE(w.topBanner->pixmap().size(), QSize(569, 57));
        QCOMPARE(w.bottomBanner->pixmap().size(), QSize(569, 57));

        const std::pair<QAbstractButton*, const char*> buttons[] = {
            {w.cmdBrowseROM, "Browse..."},
            {w.cmdBrowseFolder, "Select..."},
            {w.cmdBrowseIcon, "Browse..."},
            {w.cmdBrowseBorder, "Browse..."},
            {w.cmdCustomize, "Customize the NDS (+)"},
            {w.cmdPreview, "Preview NDS..."},
            {w.cmdGo, "Go..."}};
        for (const auto& [button, caption] : buttons) QCOMPARE(button->text(), QString(caption));
        QVERIFY(!w.cmdGo->isEnabled());
        QVERIFY(w.customHint->isHidden());
        QCOMPARE(w.fraCustom->height(), 33);
        QVERIFY(!w.CustomizeOpen());

        for (QCheckBox* box : {w.chkPSRAM, w.chkCompression}) {
            QVERIFY(box->isEnabled());
            QCOMPARE(box->checkState(), Qt::Checked);
            QVERIFY(box->text().isEmpty());
        }
        QCOMPARE(w.PsramValue(), 1);
        QCOMPARE(w.CompressionValue(), 1);
        for (QLineEdit* box : w.findChildren<QLineEdit*>()) QVERIFY(box->text().isEmpty());
        QCOMPARE(w.findChildren<QLineEdit*>().size(), 7);
        for (QPushButton* button : w.findChildren<QPushButton*>()) {
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
    }

    // Every control at its designed place, in its designed container, with its caption.
    void layoutMatchesTheDesign_data() {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        struct Row {
            const char *name, *container;
            int left, top, width, height;
            const char* caption;
        };
        const Row rows[] = {
            {"topBanner", "frmPellix", 0, 0, 8685, 855, ""},
            {"fraGame", "frmPellix", 720, 960, 7095, 1215, ""},
            {"gameOutline", "fraGame", 0, 0, 7095, 1215, ""},
            {"romLabel", "fraGame", 120, 240, 1215, 255, "GBA ROM File:"},
            {"romHint", "fraGame", 1440, 540, 3975, 255, "Put a GBA file here."},
            {"outputLabel", "fraGame", 120, 720, 1215, 255, "Output Folder:"},
            {"txtROM", "frmPellix", 2040, 1200, 4215, 285, ""},
            {"cmdBrowseROM", "frmPellix", 6360, 1200, 1215, 255, "Browse..."},
            {"txtOutput", "frmPellix", 2040, 1680, 4215, 285, ""},
            {"cmdBrowseFolder", "frmPellix", 6360, 1680, 1215, 255, "Select..."},
            {"fraName", "frmPellix", 720, 2400, 7095, 1935, ""},
            {"nameOutline", "fraName", 0, 0, 7095, 1935, ""},
            {"titleLabel", "fraName", 120, 240, 1095, 255, "Game Title:"},
            {"psramLabel", "fraName", 120, 1620, 1095, 255, "Use PSRAM:"},
            {"compressionLabel", "fraName", 2400, 1620, 1455, 255, "Use Compression:"},
            {"chkCompression", "fraName", 3960, 1620, 255, 255, ""},
            {"txtTitle1", "frmPellix", 2040, 2640, 4215, 285, ""},
            {"txtTitle2", "frmPellix", 2040, 3120, 4215, 285, ""},
            {"txtTitle3", "frmPellix", 2040, 3600, 4215, 285, ""},
            {"chkPSRAM", "frmPellix", 2040, 4020, 255, 255, ""},
            {"fraCustom", "frmPellix", 720, 4560, 7095, 495, ""},
            {"customOutline", "fraCustom", 0, 0, 7095, 495, ""},
            {"customHint", "fraCustom", 120, 420, 3975, 255,
             "Leave textboxes blank for default/original pictures."},
            {"iconLabel", "fraCustom", 240, 720, 495, 255, "Icon:"},
            {"txtIcon", "fraCustom", 1320, 720, 4215, 285, ""},
            {"cmdBrowseIcon", "fraCustom", 5640, 720, 1215, 255, "Browse..."},
            {"iconHint", "fraCustom", 1440, 1020, 3975, 255, "The icon - 32x32, 4 bit color"},
            {"borderLabel", "fraCustom", 240, 1200, 855, 255, "Border:"},
            {"txtBorder", "fraCustom", 1320, 1200, 4215, 285, ""},
            {"cmdBrowseBorder", "fraCustom", 5640, 1200, 1215, 255, "Browse..."},
            {"borderHint", "fraCustom", 1440, 1500, 3975, 255,
             "The border image - 256x192, 24 bit color"},
            {"cmdCustomize", "frmPellix", 840, 4680, 2295, 255, "Customize the NDS (+)"},
            {"cmdPreview", "frmPellix", 5880, 4680, 1815, 255, "Preview NDS..."},
            {"bottomBanner", "frmPellix", 0, 5160, 8685, 855, ""},
            {"cmdGo", "frmPellix", 3000, 5400, 2415, 495, "Go..."},
        };
        for (const Row& row : rows) {
            QTest::newRow(row.name)
                << QString(row.container) << Twips(row.left, row.top, row.width, row.height)
                << QString(row.caption);
        }
    }
    void layoutMatchesTheDesign() {
        QFETCH(QString, container);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        auto* control = window_->findChild<QWidget*>(QTest::currentDataTag());
        QVERIFY(control);
        QCOMPARE(control->parentWidget()->objectName(), container);
        QCOMPARE(control->geometry(), geometry);
        if (auto* label = qobject_cast<QLabel*>(control); label && !caption.isEmpty())
            QCOMPARE(label->text(), caption);
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            QCOMPARE(button->text(), caption);
    }

    // Controls of the window lie above the panels and the bottom banner they overlap.
    void windowControlsLieAboveThePanels() {
        frmPellix& w = *window_;
        const QObjectList& order = w.children();  // back to front
        for (QWidget* top :
             {static_cast<QWidget*>(w.txtROM), static_cast<QWidget*>(w.chkPSRAM),
              static_cast<QWidget*>(w.cmdCustomize), static_cast<QWidget*>(w.cmdGo)}) {
            for (QWidget* below :
                 {w.fraGame, w.fraName, w.fraCustom, static_cast<QWidget*>(w.bottomBanner)}) {
                QVERIFY2(order.indexOf(top) > order.indexOf(below), qPrintable(top->objectName()));
            }
        }
    }

    void appearanceFollowsTheDesign() {
        frmPellix& w = *window_;
        QCOMPARE(w.palette().color(QPalette::Window), QColor(195, 246, 246));
        QCOMPARE(w.fraGame->palette().color(QPalette::Window), QColor(0, 224, 224));
        QCOMPARE(w.chkPSRAM->palette().color(QPalette::Window), QColor(0, 224, 224));
        QCOMPARE(w.txtROM->palette().color(QPalette::Base), QColor(0, 128, 128));
        QCOMPARE(w.txtROM->palette().color(QPalette::Text), QColor(255, 255, 255));
        QCOMPARE(w.romLabel->palette().color(QPalette::WindowText), QColor(0, 128, 128));
        QCOMPARE(w.iconLabel->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(w.borderLabel->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(w.romLabel->font().pointSizeF(), 8.25);
        QCOMPARE(w.romHint->font().pointSizeF(), 6.75);
        QCOMPARE(w.txtROM->font().pointSizeF(), 8.25);
        QCOMPARE(w.cmdGo->font().pointSizeF(), 9.75);
        QVERIFY(w.cmdGo->font().bold());
        QVERIFY(!w.cmdBrowseROM->font().bold());
        QCOMPARE(w.romLabel->font().families().value(0), QString("Arial"));
        // The outline is drawn in the outline colour, the inside left to the panel.
        const QImage image = w.fraName->grab().toImage();
        QCOMPARE(image.pixelColor(0, 50), QColor(0, 128, 128));
        QCOMPARE(image.pixelColor(image.width() - 1, 50), QColor(0, 128, 128));
        QCOMPARE(image.pixelColor(2, 2), QColor(0, 224, 224));
    }

    void tabOrderFollowsTheDesign() {
        frmPellix& w = *window_;
        const QList<QWidget*> expected = {
            w.txtROM,        w.txtOutput,       w.txtTitle1,    w.txtTitle2,
            w.txtTitle3,     w.cmdPreview,      w.cmdCustomize, w.cmdGo,
            w.txtIcon,       w.txtBorder,       w.cmdBrowseROM, w.cmdBrowseFolder,
            w.cmdBrowseIcon, w.cmdBrowseBorder, w.chkPSRAM,     w.chkCompression};
        QList<QWidget*> chain;
        QWidget* next = w.txtROM;
        do {
            if (next->focusPolicy() & Qt::TabFocus) chain << next;
            next = next->nextInFocusChain();
        } while (next != w.txtROM && chain.size() < 40);
        QCOMPARE(chain, expected);
    }

    // Keys pressed at start go to the first control of the tab order: Space types into the
    // ROM box and leaves both check boxes as they were.
    void startFocusFollowsTheTabOrder() {
        frmPellix& w = *window_;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.txtROM));
        QTest::keyClick(w.windowHandle(), Qt::Key_Space);
        QTest::keyClicks(QApplication::focusWidget(), "x");
        QCOMPARE(w.txtROM->text(), QString(" x"));
        QCOMPARE(w.chkPSRAM->checkState(), Qt::Checked);
        QCOMPARE(w.chkCompression->checkState(), Qt::Checked);
    }

    // The check boxes sit on the panel: every pixel of their box outside the indicator's
    // frame shows the panel colour, not the style's button colour.
    void checkBoxesSitOnThePanelColour() {
        frmPellix& w = *window_;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage window = w.grab().toImage();
        for (QCheckBox* box : {w.chkPSRAM, w.chkCompression}) {
            const QRect area(box->mapTo(&w, QPoint(0, 0)), box->size());
            // The widget's border rows and columns lie outside any indicator.
            const QPoint samples[] = {area.topLeft(), area.topRight(), area.bottomLeft(),
                                      area.bottomRight(), QPoint(area.right(), area.center().y())};
            for (const QPoint& at : samples) {
                QVERIFY2(window.pixelColor(at) == QColor(0, 224, 224),
                         qPrintable(QString("%1 at %2,%3: %4")
                                        .arg(box->objectName())
                                        .arg(at.x() - area.left())
                                        .arg(at.y() - area.top())
                                        .arg(window.pixelColor(at).name())));
            }
        }
    }

    // On a screen finer than 1x the windows take the artwork drawn at twice the size.
    void artworkFollowsTheScreensRatio() {
        for (const qreal ratio : {1.0, 1.5, 2.0}) {
            const QPixmap art = pellix::ui::DesignArtwork("top_banner.bmp", ratio);
            QCOMPARE(art.devicePixelRatio(), ratio > 1 ? 2.0 : 1.0);
            QCOMPARE(art.deviceIndependentSize(), QSizeF(569, 57));
        }
    }

    void firstClickUnfoldsSecondRestoresTheStart() {
        frmPellix& w = *window_;
        const LayoutSnapshot start = Snapshot(w);

        w.cmdCustomize->click();
        QCOMPARE(w.size(), QSize(569, 491));
        QCOMPARE(w.cmdGo->y(), 448);
        QCOMPARE(w.bottomBanner->y(), 434);
        QCOMPARE(w.bottomBanner->geometry().bottom() + 1, w.height());
        QCOMPARE(w.fraCustom->height(), 113);
        QCOMPARE(w.customOutline->height(), 113);
        QCOMPARE(w.cmdCustomize->text(), QString("Customize the NDS (-)"));
        QVERIFY(!w.customHint->isHidden());
        QVERIFY(w.CustomizeOpen());
        // Only the seven changes: the rest of the window stays put.
        LayoutSnapshot open = Snapshot(w);
        for (const char* moved :
             {"cmdGo", "bottomBanner", "fraCustom", "customOutline", "customHint"}) {
            open.geometry.remove(moved);
            open.hidden.remove(moved);
        }
        for (auto it = open.geometry.cbegin(); it != open.geometry.cend(); ++it)
            QCOMPARE(it.value(), start.geometry.value(it.key()));

        w.cmdCustomize->click();
        QVERIFY(Snapshot(w) == start);
        QVERIFY(!w.CustomizeOpen());
    }

    void clickAfterUserResizeSetsOnlyTheHeight() {
        frmPellix& w = *window_;
        w.resize(700, 250);
        w.cmdCustomize->click();
        QCOMPARE(w.size(), QSize(700, 491));
        w.resize(640, 800);
        w.cmdCustomize->click();
        QCOMPARE(w.size(), QSize(640, 401));
        QCOMPARE(w.cmdGo->y(), 360);  // no control follows the window's size
    }

    // The file choosers get the logic's request, with no owner, and their answer goes to
    // the logic (which fills the boxes; tests/app).
    void fileChoosersAreForwarded() {
        frmPellix& w = *window_;
        w.cmdCustomize->click();
        const struct {
            QPushButton* button;
            QLineEdit* box;
            const char* filter;
        } rows[] = {
            {w.cmdBrowseROM, w.txtROM, "GBA ROMs|*.gba|All files|*.*"},
            {w.cmdBrowseIcon, w.txtIcon,
             "Pictures|*.bmp;*.png;*.jpg;*.jpeg;*.gif|Bitmap images|*.bmp|All files|*.*"},
        };
        for (const auto& row : rows) {
            fakes_->openCalls.clear();
            fakes_->nextFile = "/pics/a.gba";
            row.button->click();
            QCOMPARE(row.box->text(), QString("/pics/a.gba"));
            QCOMPARE(fakes_->openCalls.size(), std::size_t{1});
            QCOMPARE(fakes_->openCalls[0].filter, std::string(row.filter));
            QCOMPARE(fakes_->openCalls[0].flags, 4096u);
            QCOMPARE(fakes_->openCalls[0].owner, nullptr);
        }
    }

    // The real file dialog has no owner, so the window takes clicks while it is up: a second
    // "Browse..." opens no second dialog inside the first, and nothing is queued.
    void oneChooserAtATime() {
        frmPellix& w = *window_;
        w.SetChoosers(pellix::ui::PlatformChoosers());
        w.cmdCustomize->click();
        w.show();
        const auto openDialogs = [] {
            int count = 0;
            for (QWidget* top : QApplication::topLevelWidgets())
                count += qobject_cast<QFileDialog*>(top) != nullptr && top->isVisible();
            return count;
        };
        int most = 0;
        bool sawDialog = false;
        QTimer::singleShot(0, [&] {
            sawDialog = QTest::qWaitFor([&] { return openDialogs() == 1; }, 5000);
            for (QPushButton* again : {w.cmdBrowseROM, w.cmdBrowseIcon, w.cmdBrowseBorder}) {
                QTest::mouseClick(again, Qt::LeftButton);
                QTest::qWait(50);
                most = std::max(most, openDialogs());
            }
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(top)) dialog->reject();
        });
        w.txtROM->setText("kept.gba");
        QTest::mouseClick(w.cmdBrowseROM, Qt::LeftButton);
        QVERIFY(sawDialog);
        QCOMPARE(most, 1);
        QTest::qWait(50);
        QCOMPARE(openDialogs(), 0);
        QVERIFY(w.txtROM->text().isEmpty());  // the one dialog's cancel
    }

    // Every control that takes the focus shows it when the keyboard puts it there, the
    // caption-less check boxes too.
    void focusCanBeSeen() {
        frmPellix& w = *window_;
        w.cmdCustomize->click();
        w.cmdGo->setEnabled(true);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Each button and check box as it looks without the focus (text boxes show a caret).
        w.txtROM->setFocus();
        std::map<QWidget*, QImage> without;
        for (QWidget* control : w.findChildren<QWidget*>())
            if (qobject_cast<QAbstractButton*>(control))
                without[control] = control->grab().toImage();
        // The keyboard visits every one of them in turn.
        std::size_t seen = 0;
        for (std::size_t i = 0; i < 2 * without.size() + 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focused = QApplication::focusWidget();
            const auto it = without.find(focused);
            if (it == without.end() || it->second.isNull()) continue;
            QVERIFY2(focused->grab().toImage() != it->second, qPrintable(focused->objectName()));
            it->second = QImage();
            ++seen;
        }
        QCOMPARE(seen, without.size());
    }

    // Keyboard only, panel folded: from the ROM box Tab reaches the ROM's "Browse...", Space
    // chooses, Tab reaches "Go...", Space builds. Every stop on the way can be seen.
    void keyboardOnlyBuild() {
        Installation inst;
        QTemporaryDir roms;
        const QString rom = MakeFile(roms, "Keys.gba", 4096);
        frmPellix& w = *window_;
        w.SetToolRunner(inst.FakeRunner());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.txtROM));
        const auto tabTo = [](QWidget* target) {
            for (int i = 0; i < 20 && QApplication::focusWidget() != target; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget* at = QApplication::focusWidget();
                QVERIFY2(!at->visibleRegion().isEmpty(), qPrintable(at->objectName()));
            }
        };
        fakes_->nextFile = rom.toStdString();
        tabTo(w.cmdBrowseROM);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.cmdBrowseROM));
        QTest::keyClick(w.cmdBrowseROM, Qt::Key_Space);
        QCOMPARE(w.txtROM->text(), rom);
        tabTo(w.cmdGo);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.cmdGo));
        QTest::keyClick(w.cmdGo, Qt::Key_Space);
        QVERIFY(!fakes_->messages.isEmpty());
        QCOMPARE(fakes_->messages.last(), QString("Complete!"));
        QVERIFY(QFile::exists(roms.filePath("Keys.nds")));
    }

    void folderChoiceFeedsTheOutputPath() {
        frmPellix& w = *window_;
        w.txtROM->setText("/games/Name.gba");
        fakes_->nextFolder = "/srv/out";
        w.cmdBrowseFolder->click();
        QCOMPARE(w.txtOutput->text(), QString("/srv/out"));
        QCOMPARE(w.OutputFolder(), std::string("/srv/out"));
        QCOMPARE(fakes_->folderOwner, static_cast<QWidget*>(&w));
        QCOMPARE(fakes_->folderTitle, std::string("Select a Folder"));
        QCOMPARE(fakes_->folderFlags, 1u);
        QCOMPARE(fakes_->folderRoot, 0);
        QCOMPARE(pellix::OutputPath(w.OutputFolder(), w.RomPath()),
                 std::string("/srv/out/Name.nds"));
        // The folder button touches nothing else.
        QVERIFY(w.txtTitle1->text().isEmpty());
        QVERIFY(!w.cmdGo->isEnabled());
    }

    void settingsAreReadFromTheControls() {
        frmPellix& w = *window_;
        w.txtROM->setText("  /r/a b.gba");
        w.txtTitle1->setText(" One");
        w.txtTitle2->setText("Two");
        w.txtTitle3->setText("Three ");
        QCOMPARE(w.RomPath(), std::string("  /r/a b.gba"));  // as typed, untrimmed
        QCOMPARE(w.Title(1), std::string(" One"));
        QCOMPARE(w.Title(2), std::string("Two"));
        QCOMPARE(w.Title(3), std::string("Three "));
        // Greyed counts apart from checked: only 1 is on.
        const std::pair<Qt::CheckState, int> values[] = {
            {Qt::Unchecked, 0}, {Qt::Checked, 1}, {Qt::PartiallyChecked, 2}};
        for (const auto& [state, value] : values) {
            w.chkPSRAM->setCheckState(state);
            w.chkCompression->setCheckState(state);
            QCOMPARE(w.PsramValue(), value);
            QCOMPARE(w.CompressionValue(), value);
        }
        w.SetGoEnabled(true);
        QVERIFY(w.cmdGo->isEnabled());
        w.SetGoEnabled(false);
        QVERIFY(!w.cmdGo->isEnabled());
        w.ShowMessage("Complete!");
        QCOMPARE(fakes_->messages, QStringList{"Complete!"});
    }

    void closingWhileAChooserIsOpenDropsItsResult() {
        frmPellix& w = *window_;
        w.show();
        fakes_->duringChooser = [&] { QVERIFY(w.close()); };
        fakes_->nextFile = "/roms/late.gba";
        w.cmdBrowseROM->click();
        QVERIFY(!w.isVisible());
        QCOMPARE(fakes_->closeAllCalls, 1);
        QVERIFY(w.txtROM->text().isEmpty());
        QVERIFY(!w.cmdGo->isEnabled());

        w.show();
        fakes_->nextFolder = "/late";
        w.cmdBrowseFolder->click();
        QVERIFY(!w.isVisible());
        QVERIFY(w.txtOutput->text().isEmpty());
    }

    // While a build runs the window stays live: the panel folds, a ROM can be chosen (which
    // enables "Go...", but a click on it starts no second build) and a close request waits
    // for the build to deliver.
    void closingDuringABuildWaitsForIt() {
        Installation inst;
        QTemporaryDir roms;
        const QString rom = MakeFile(roms, "first.gba", 100);
        const QString next = MakeFile(roms, "second.gba", 100);
        frmPellix& w = *window_;
        w.show();
        fakes_->nextFile = rom.toStdString();
        w.cmdBrowseROM->click();

        bool stayedOpen = false;
        bool goEnabledMidBuild = false;
        int toolRunsBeforeSecondClick = 0;
        int toolRunsAfterSecondClick = 0;
        int toolRuns = 0;
        const pellix::ToolRunner fake = inst.FakeRunner({
            {"grit", [&] { w.cmdCustomize->click(); }},
            {"gbacrusher",
             [&] {
                 fakes_->nextFile = next.toStdString();
                 w.cmdBrowseROM->click();
                 goEnabledMidBuild = w.cmdGo->isEnabled();
                 toolRunsBeforeSecondClick = toolRuns;
                 w.cmdGo->click();  // must not start a build inside the running one
                 toolRunsAfterSecondClick = toolRuns;
             }},
            {"ndstool",
             [&] {
                 w.close();
                 stayedOpen = w.isVisible();
             }},
        });
        w.SetToolRunner([&](const std::string& commandLine, const std::string& workDir) {
            ++toolRuns;
            return fake(commandLine, workDir);
        });
        w.cmdGo->click();

        QVERIFY(goEnabledMidBuild);
        QCOMPARE(toolRunsAfterSecondClick, toolRunsBeforeSecondClick);
        QVERIFY(stayedOpen);
        QVERIFY(!w.isVisible());
        QVERIFY(fakes_->messages.isEmpty());  // no "Complete!" for a window being closed
        QVERIFY(fs::exists(fs::path(roms.path().toStdString()) / "first.nds"));
        QVERIFY(!fs::exists(inst.bin / "x.nds"));
        QVERIFY(w.CustomizeOpen());
        QCOMPARE(w.txtROM->text(), next);
    }

    // A ROM dropped anywhere has the effects of "Browse...", without a chooser.
    void droppedRomActsAsBrowse_data() {
        QTest::addColumn<QString>("over");
        QTest::newRow("banner") << "topBanner";
        QTest::newRow("title box") << "txtTitle2";
        QTest::newRow("Go") << "cmdGo";
    }
    void droppedRomActsAsBrowse() {
        QFETCH(QString, over);
        QTemporaryDir dir;
        const QString rom = MakeFile(dir, "Dropped Game.GBA", 16777217);
        frmPellix& w = *window_;
        w.txtTitle2->setText("kept");
        auto* control = w.findChild<QWidget*>(over);
        QVERIFY(DropFiles(w, {rom}, CentreOf(w, control)));
        QCOMPARE(w.txtROM->text(), rom);
        QCOMPARE(w.txtOutput->text(), QDir::toNativeSeparators(dir.path()) + QDir::separator());
        QCOMPARE(w.txtTitle1->text(), QString("Dropped Game"));
        QCOMPARE(w.txtTitle2->text(), QString("kept"));
        QVERIFY(w.cmdGo->isEnabled());
        QVERIFY(!w.chkPSRAM->isEnabled());
        QCOMPARE(fakes_->messages, QStringList{kTooLarge});
        QVERIFY(fakes_->openCalls.empty());
    }

    // A picture goes to the box it is dropped on while the panel is open; anything else is
    // refused with a message and changes nothing.
    void droppedPictureAndRefusals() {
        QTemporaryDir dir;
        const QString picture = MakeFile(dir, "box art.png", 100);
        const QString text = MakeFile(dir, "notes.txt", 10);
        frmPellix& w = *window_;
        const LayoutSnapshot start = Snapshot(w);

        QVERIFY(DropFiles(w, {picture}, CentreOf(w, w.cmdCustomize)));  // panel folded
        QVERIFY(DropFiles(w, {text}, CentreOf(w, w.txtROM)));
        QVERIFY(!DropFiles(w, {"https://example.org/a.gba"}, CentreOf(w, w.txtROM)));
        QCOMPARE(fakes_->messages.size(), 2);
        QVERIFY2(fakes_->messages[1].contains("notes.txt"), qPrintable(fakes_->messages[1]));
        QVERIFY(Snapshot(w) == start);
        for (QLineEdit* box : w.findChildren<QLineEdit*>()) QVERIFY(box->text().isEmpty());

        w.cmdCustomize->click();
        QVERIFY(DropFiles(w, {picture}, CentreOf(w, w.txtIcon)));
        QCOMPARE(w.txtIcon->text(), picture);
        QVERIFY(DropFiles(w, {picture}, CentreOf(w, w.borderLabel)));
        QCOMPARE(w.txtBorder->text(), picture);
        QVERIFY(DropFiles(w, {picture}, CentreOf(w, w.borderHint)));  // below the border row
        QCOMPARE(fakes_->messages.size(), 3);
        QVERIFY(w.txtROM->text().isEmpty());
    }

    // Several ROMs are built one after another with a progress dialog and a summary; the
    // window's controls are left as they were. Cancel stops the rest.
    void droppedRomsAreBuiltInTurn_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("all built") << false;
        QTest::newRow("cancelled during the first") << true;
    }
    void droppedRomsAreBuiltInTurn() {
        QFETCH(bool, cancel);
        Installation inst;
        QTemporaryDir roms;
        const QString first = MakeFile(roms, "first.gba", 100);
        const QString second = MakeFile(roms, "second.gba", 100);
        frmPellix& w = *window_;
        w.show();
        w.txtTitle2->setText("Line two");
        const LayoutSnapshot start = Snapshot(w);

        QStringList labels;
        bool goOff = true;
        w.SetToolRunner(inst.FakeRunner({{"grit", [&] {
                                              QProgressDialog* dialog = w.BatchDialog();
                                              QVERIFY(dialog && dialog->isVisible());
                                              labels << dialog->labelText();
                                              goOff = goOff && !w.cmdGo->isEnabled();
                                              if (cancel) dialog->cancel();
                                          }}}));
        QVERIFY(DropFiles(w, {first, second}, CentreOf(w, w.fraName)));

        QVERIFY(!w.BatchDialog());
        QVERIFY(goOff);
        QVERIFY(Snapshot(w) == start);
        QVERIFY(w.txtROM->text().isEmpty());
        QCOMPARE(w.txtTitle2->text(), QString("Line two"));
        QCOMPARE(fakes_->messages.size(), 1);
        const QString summary = fakes_->messages[0];
        const fs::path folder = roms.path().toStdString();
        if (cancel) {
            QCOMPARE(labels, QStringList{"Building 1 of 2: " + first});
            QVERIFY2(summary.startsWith("Built 0 of 2 ROMs."), qPrintable(summary));
            QVERIFY2(summary.contains("Not finished (cancelled):\n  first.gba\n  second.gba"),
                     qPrintable(summary));
            QVERIFY(!fs::exists(folder / "first.nds"));
        } else {
            QCOMPARE(labels,
                     (QStringList{"Building 1 of 2: " + first, "Building 2 of 2: " + second}));
            QVERIFY2(summary.startsWith("Built 2 of 2 ROMs."), qPrintable(summary));
            // What the programs made, before the stamp the build appends.
            for (const char* package : {"first.nds", "second.nds"})
                QCOMPARE(Installation::ReadFile(folder / package).substr(0, 11),
                         std::string("package PCP"));
        }
        QVERIFY(!fs::exists(inst.bin / "x.nds"));
    }

    // A whole build with the real programs of the installation, started from the window.
    void wholeBuildWithTheCompanionPrograms() {
#ifndef PELLIX_TOOL_NDSTOOL
        QSKIP("the companion programs are not part of this build");
#else
        Installation inst;
        const std::pair<const char*, const char*> programs[] = {
            {PELLIX_TOOL_GRIT, "grit"},
            {PELLIX_TOOL_GBACRUSHER, "gbacrusher"},
            {PELLIX_TOOL_NDSTOOL, "ndstool"},
            {PELLIX_TOOL_EFS, "efs"},
            {PELLIX_TOOL_GZIP, "gzip"}};
        const std::string suffix = fs::path(PELLIX_TOOL_NDSTOOL).extension().string();
        for (const auto& [from, name] : programs) {
            fs::copy_file(from, inst.bin / (name + suffix), fs::copy_options::overwrite_existing);
        }
        for (const char* image : {"7.bin", "9.bin"}) {
            fs::copy_file(fs::path(PELLIX_STANDIN_DIR) / image, inst.bin / image,
                          fs::copy_options::overwrite_existing);
        }
        for (const char* picture : {"icon.bmp", "border.bmp"}) {
            fs::copy_file(fs::path(PELLIX_GFX_DIR) / picture, inst.gfx / picture,
                          fs::copy_options::overwrite_existing);
        }
        QTemporaryDir roms;
        const QString rom = MakeFile(roms, "MyGame.gba", 65536);
        QTemporaryDir out;

        frmPellix& w = *window_;
        w.show();
        fakes_->nextFile = rom.toStdString();
        w.cmdBrowseROM->click();
        fakes_->nextFolder = out.path().toStdString();
        w.cmdBrowseFolder->click();
        w.txtTitle2->setText("Second line");
        // Pictures of other kinds and sizes: a PNG icon with alpha, a JPEG border of 640 x 400.
        const pellix::testing::Bytes icon =
            pellix::testing::EncodePng(pellix::testing::AlphaBadge());
        const pellix::testing::Bytes border =
            pellix::testing::EncodeJpeg(pellix::testing::PhotoLike(640, 400));
        const QString iconPath = roms.filePath("badge.png");
        const QString borderPath = roms.filePath("photo.jpg");
        Installation::WriteFile(iconPath.toStdString(), std::string(icon.begin(), icon.end()));
        Installation::WriteFile(borderPath.toStdString(),
                                std::string(border.begin(), border.end()));
        w.cmdCustomize->click();
        w.txtIcon->setText(iconPath);
        w.txtBorder->setText(borderPath);
        w.cmdGo->click();

        // The stand-in DS images are told of before the first build, which still goes ahead.
        QCOMPARE(fakes_->messages.size(), 2);
        QVERIFY2(fakes_->messages[0].contains("are stand-ins"), qPrintable(fakes_->messages[0]));
        QCOMPARE(fakes_->messages[1], QString("Complete!"));
        QVERIFY(w.cmdGo->isEnabled());
        const fs::path packagePath = fs::path(out.path().toStdString()) / "MyGame.nds";
        const std::string package = Installation::ReadFile(packagePath);
        QVERIFY(package.size() > 0x200);
        QCOMPARE(package.substr(0x0C, 4), std::string("QLMR"));  // the header's game code
        // The package carries the converted icon, the one the preview shows.
        const pellix::formats::NdsPackage read = pellix::formats::ReadNdsFile(packagePath.string());
        QVERIFY(read.hasBanner);
        QVERIFY(read.banner.iconIndices ==
                pellix::formats::MakeMenuIcon(icon.data(), icon.size()).picture.indices);
        for (const char* staged : {"x.nds", "icon.bmp", "border.bmp", "border.img.bin",
                                   "data/mode.txt", "data/game.gz", "data/border.lz7"}) {
            QVERIFY2(!fs::exists(inst.bin / staged), staged);
        }
#endif
    }

  private:
    std::unique_ptr<frmPellix> window_;
    std::unique_ptr<Fakes> fakes_;
    QString startDir_;
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
