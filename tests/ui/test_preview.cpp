// Tests of the preview window: what it reads from the main window, where it opens, its
// pictures, its one-at-a-time life and the messages for pictures that cannot be loaded.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

#include "app_directory.h"
#include "frm_pellix.h"
#include "frm_preview.h"
#include "menu_icon.h"

using pellix::ui::CurrentPreview;
using pellix::ui::frmPreview;
using pellix::ui::PreviewSource;
using pellix::ui::ShowPreview;

namespace {

const char kFolded[] = "Customize the NDS (+)";
const char kUnfolded[] = "Customize the NDS (-)";

// A picture whose every pixel differs from its neighbours, so any shift, scaling or
// wrong corner shows up in a comparison.
QImage Pattern(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed) % 256, (y * 5 + seed) % 256, (x + y) % 256));
    return image;
}

QImage Rgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

// What a picture box shows: the top-left width x height pixels of the box.
QImage Shown(QWidget* box, int width, int height) {
    return Rgb(box->grab().toImage()).copy(0, 0, width, height);
}

// The main window as the preview sees it: the named children, nothing else.
struct MainStandIn {
    QWidget window;
    QPushButton* cmdCustomize = new QPushButton(kFolded, &window);
    QLineEdit* txtIcon = new QLineEdit(&window);
    QLineEdit* txtTitle1 = new QLineEdit(&window);
    QLineEdit* txtTitle2 = new QLineEdit(&window);
    QLineEdit* txtTitle3 = new QLineEdit(&window);

    MainStandIn() {
        cmdCustomize->setObjectName("cmdCustomize");
        txtIcon->setObjectName("txtIcon");
        txtTitle1->setObjectName("txtTitle1");
        txtTitle2->setObjectName("txtTitle2");
        txtTitle3->setObjectName("txtTitle3");
        window.setGeometry(100, 80, 569, 401);
    }
};

// A main window with an exact outer frame, for the centring arithmetic.
struct FixedSource : PreviewSource {
    QRectF frame;
    QSizeF extra;
    QRectF FrameGeometry() const override { return frame; }
    QSizeF FrameExtra() const override { return extra; }
    QString CustomizeCaption() const override { return kFolded; }
    QString IconText() const override { return {}; }
    QString TitleText(int) const override { return {}; }
    QIcon WindowIcon() const override { return {}; }
};

// The offscreen platform cannot raise windows and says so each time a window is shown.
QtMessageHandler previousHandler = nullptr;
void QuietRaise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains("does not support raise()")) previousHandler(type, context, text);
}

}  // namespace

class PreviewTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> install_;
    QImage background_, defaultIcon_;
    QStringList messages_;

    QString Gfx(const QString& name) const { return install_->path() + "/gfx/" + name; }
    QString UserFile(const QString& name) const { return install_->path() + "/user/" + name; }

    static void Unload() {
        if (frmPreview* preview = CurrentPreview()) preview->cmdClose->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  private slots:
    void initTestCase() {
        previousHandler = qInstallMessageHandler(QuietRaise);
        install_ = std::make_unique<QTemporaryDir>();
        QVERIFY(install_->isValid());
        QVERIFY(QDir(install_->path()).mkpath("gfx"));
        QVERIFY(QDir(install_->path()).mkpath("user"));
        pellix::SetApplicationDirectory(install_->path().toStdString());
        pellix::ui::SetPreviewMessageHandler([this](const QString& text) { messages_ << text; });
    }

    void init() {
        background_ = Pattern(191, 47, 11);
        defaultIcon_ = Pattern(32, 32, 90);
        QVERIFY(background_.save(Gfx("preview.bmp"), "BMP"));
        QVERIFY(defaultIcon_.save(Gfx("icon.bmp"), "BMP"));
        messages_.clear();
    }

    void cleanup() { Unload(); }

    void cleanupTestCase() {
        pellix::ui::SetPreviewMessageHandler({});
        pellix::SetApplicationDirectory("");
    }

    void designedWindow() {
        MainStandIn main;
        main.window.setWindowIcon(QIcon(QPixmap::fromImage(Pattern(32, 32, 3))));
        ShowPreview(&main.window);
        frmPreview* preview = CurrentPreview();
        QVERIFY(preview);
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->windowTitle(), QString("Preview Customisations"));
        QCOMPARE(preview->size(), QSize(209, 113));
        QCOMPARE(preview->minimumSize(), preview->maximumSize());
        QCOMPARE(preview->windowType(), Qt::Tool);
        QVERIFY(!(preview->windowFlags() & Qt::WindowMinMaxButtonsHint));
        QVERIFY(preview->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!preview->parentWidget());
        QVERIFY(preview->windowHandle() && !preview->windowHandle()->transientParent());
        QCOMPARE(Rgb(preview->windowIcon().pixmap(32, 32).toImage()), Pattern(32, 32, 3));

        const struct {
            QWidget* control;
            QWidget* container;
            QRect geometry;
        } layout[] = {
            {preview->picBG, preview, {8, 8, 191, 47}},
            {preview->lblTitle1, preview->picBG, {56, 4, 129, 17}},
            {preview->lblTitle2, preview->picBG, {56, 16, 129, 17}},
            {preview->lblTitle3, preview->picBG, {56, 28, 129, 17}},
            {preview->picIcon, preview, {15, 14, 32, 32}},
            {preview->Label1, preview, {16, 64, 73, 41}},
            {preview->cmdClose, preview, {112, 72, 81, 25}},
        };
        for (const auto& row : layout) {
            QVERIFY2(row.control->parentWidget() == row.container,
                     qPrintable(row.control->objectName()));
            QCOMPARE(row.control->geometry(), row.geometry);
        }
        for (const char* name :
             {"picBG", "lblTitle1", "lblTitle2", "lblTitle3", "picIcon", "Label1", "cmdClose"})
            QVERIFY2(preview->findChild<QWidget*>(name), name);

        // The icon lies above the background picture.
        const QObjectList& stack = preview->children();
        QVERIFY(stack.indexOf(preview->picIcon) > stack.indexOf(preview->picBG));

        QCOMPARE(preview->Label1->text(), QString("NOTE: Border customisations aren't shown."));
        QVERIFY(preview->Label1->wordWrap());
        QCOMPARE(preview->Label1->palette().color(QPalette::WindowText), QColor(192, 0, 192));
        QCOMPARE(preview->cmdClose->text(), QString("Close"));
        QVERIFY(!preview->cmdClose->isDefault() && !preview->cmdClose->autoDefault());
        for (QLabel* title : {preview->lblTitle1, preview->lblTitle2, preview->lblTitle3}) {
            QCOMPARE(title->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
            QVERIFY(!title->autoFillBackground());
        }

        // The background is the installed picture, drawn whole from its corner.
        QCOMPARE(Shown(preview->picBG, 191, 47).copy(0, 0, 40, 4), background_.copy(0, 0, 40, 4));
    }

    void iconChoice_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("iconFile");  // file name below user/, "" for an empty box
        QTest::addColumn<QImage>("userPicture");
        QTest::addColumn<bool>("userShown");

        const QImage small = Pattern(32, 32, 200);
        const QImage large = Pattern(48, 40, 150);
        QTest::newRow("folded, valid icon named") << kFolded << "mine.bmp" << small << false;
        QTest::newRow("unfolded, empty box") << kUnfolded << "" << small << false;
        QTest::newRow("unfolded, missing file") << kUnfolded << "gone.bmp" << small << false;
        QTest::newRow("unfolded, existing picture") << kUnfolded << "mine.bmp" << small << true;
        QTest::newRow("unfolded, larger picture converted")
            << kUnfolded << "mine.bmp" << large << true;
        QTest::newRow("unfolded, smaller picture converted")
            << kUnfolded << "mine.bmp" << Pattern(12, 10, 40) << true;
        QTest::newRow("unfolded, PNG picture") << kUnfolded << "mine.png" << small << true;
    }

    // The icon shown is the one the package will hold: the chosen file's conversion, pixel
    // for pixel where it is opaque.
    void iconChoice() {
        QFETCH(QString, caption);
        QFETCH(QString, iconFile);
        QFETCH(QImage, userPicture);
        QFETCH(bool, userShown);
        QVERIFY(userPicture.save(UserFile("mine.bmp"), "BMP"));
        QVERIFY(userPicture.save(UserFile("mine.png"), "PNG"));

        MainStandIn main;
        main.cmdCustomize->setText(caption);
        main.txtIcon->setText(iconFile.isEmpty() ? QString() : UserFile(iconFile));
        ShowPreview(&main.window);
        QVERIFY(CurrentPreview());
        QVERIFY(messages_.isEmpty());
        const QString source = userShown ? UserFile(iconFile) : Gfx("icon.bmp");
        const std::vector<pellix::formats::Rgba8> expected = pellix::formats::MenuIconRgba(
            pellix::formats::ReadMenuIconFile(source.toStdString()).picture);
        const QImage shown = Shown(CurrentPreview()->picIcon, 32, 32);
        int opaque = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const pellix::formats::Rgba8& pixel = expected[std::size_t(y * 32 + x)];
                if (pixel.a == 0) continue;
                ++opaque;
                QCOMPARE(shown.pixelColor(x, y), QColor(pixel.r, pixel.g, pixel.b));
            }
        }
        QVERIFY(opaque >= 32 * 32 * 10 / 16);  // the smallest picture, 12 x 10, fills 32 x 26
    }

    void titles_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("three lines") << QStringList{"My Game", "Second", "by Someone"};
        QTest::newRow("empty boxes") << QStringList{"", "", ""};
        // Shown as typed: no markup, no mnemonic, no trimming.
        QTest::newRow("text as typed") << QStringList{"<b>bold</b>", "A & B", "  spaced  "};
    }

    void titles() {
        QFETCH(QStringList, lines);
        MainStandIn main;
        main.txtTitle1->setText(lines[0]);
        main.txtTitle2->setText(lines[1]);
        main.txtTitle3->setText(lines[2]);
        ShowPreview(&main.window);
        frmPreview* preview = CurrentPreview();
        QVERIFY(preview);
        QCOMPARE(preview->lblTitle1->text(), lines[0]);
        QCOMPARE(preview->lblTitle2->text(), lines[1]);
        QCOMPARE(preview->lblTitle3->text(), lines[2]);
        QCOMPARE(preview->lblTitle1->textFormat(), Qt::PlainText);
    }

    void readsOnceWhileOpenAndAfreshAfterClose() {
        MainStandIn main;
        main.txtTitle1->setText("Old");
        ShowPreview(&main.window);
        QPointer<frmPreview> first = CurrentPreview();
        QVERIFY(first);

        main.txtTitle1->setText("New");
        main.cmdCustomize->setText(kUnfolded);
        ShowPreview(&main.window);
        QCOMPARE(CurrentPreview(), first.data());
        QCOMPARE(first->lblTitle1->text(), QString("Old"));

        first->cmdClose->click();
        QVERIFY(!CurrentPreview());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());

        ShowPreview(&main.window);
        QVERIFY(CurrentPreview());
        QCOMPARE(CurrentPreview()->lblTitle1->text(), QString("New"));

        // The window's own close button unloads it just the same.
        CurrentPreview()->close();
        QVERIFY(!CurrentPreview());
        main.txtTitle1->setText("Newer");
        ShowPreview(&main.window);
        QCOMPARE(CurrentPreview()->lblTitle1->text(), QString("Newer"));
    }

    void centring_data() {
        QTest::addColumn<QRectF>("mainFrame");
        QTest::addColumn<QSizeF>("extra");
        QTest::addColumn<QPoint>("expected");
        // 6540 and 7890 twips high: the folded and the unfolded main window.
        QTest::newRow("folded") << QRectF(100, 80, 577, 436) << QSizeF(8, 31) << QPoint(280, 226);
        QTest::newRow("unfolded") << QRectF(100, 80, 577, 526) << QSizeF(8, 31) << QPoint(280, 271);
        // Halves are kept until the position is set: 288.5 - 105 gives 184 where halving
        // in whole pixels would give 288 - 105.
        QTest::newRow("halves kept") << QRectF(0, 0, 577, 436) << QSizeF(1, 0) << QPoint(184, 162);
        QTest::newRow("off the screen")
            << QRectF(-500, -300, 577, 436) << QSizeF(8, 31) << QPoint(-320, -154);
    }

    void centring() {
        QFETCH(QRectF, mainFrame);
        QFETCH(QSizeF, extra);
        QFETCH(QPoint, expected);
        FixedSource main;
        main.frame = mainFrame;
        main.extra = extra;
        ShowPreview(main);
        QVERIFY(CurrentPreview());
        QCOMPARE(CurrentPreview()->pos(), expected);
    }

    void centringOverTheMainWindow_data() {
        QTest::addColumn<bool>("unfolded");
        QTest::newRow("folded") << false;
        QTest::newRow("unfolded") << true;
    }

    void centringOverTheMainWindow() {
        QFETCH(bool, unfolded);
        pellix::ui::frmPellix main;
        main.move(120, 90);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        if (unfolded) main.cmdCustomize->click();
        main.txtTitle1->setText("From the window");
        main.cmdPreview->click();
        frmPreview* preview = CurrentPreview();
        QVERIFY(preview);
        QCOMPARE(preview->lblTitle1->text(), QString("From the window"));
        QVERIFY(messages_.isEmpty());

        // Centres agree to within the rounding of one half pixel.
        const QRect mainFrame = main.frameGeometry();
        const QRect frame = preview->frameGeometry();
        QVERIFY2(
            qAbs(frame.center().x() - mainFrame.center().x()) <= 1,
            qPrintable(QString("x %1 vs %2").arg(frame.center().x()).arg(mainFrame.center().x())));
        QVERIFY2(
            qAbs(frame.center().y() - mainFrame.center().y()) <= 1,
            qPrintable(QString("y %1 vs %2").arg(frame.center().y()).arg(mainFrame.center().y())));
    }

    // Beyond the design: with the panel open and a border chosen, the preview shows it as the
    // DS's top screen (converted to 256 x 192 at the DS's colour precision) with the game
    // area outlined, grows to take it and drops the note; folded, it is the designed window.
    void customBorderAsTheTopScreen_data() {
        QTest::addColumn<bool>("unfolded");
        QTest::newRow("panel open") << true;
        QTest::newRow("panel folded") << false;
    }
    void customBorderAsTheTopScreen() {
        QFETCH(bool, unfolded);
        QImage wide(320, 192, QImage::Format_RGB32);
        wide.fill(QColor(200, 100, 50));
        QVERIFY(wide.save(UserFile("wide.bmp"), "BMP"));
        pellix::ui::frmPellix main;
        main.show();
        if (unfolded) main.cmdCustomize->click();
        main.txtBorder->setText(UserFile("wide.bmp"));
        main.cmdPreview->click();
        frmPreview* preview = CurrentPreview();
        QVERIFY(preview);
        QVERIFY(messages_.isEmpty());
        QCOMPARE(preview->picBorder->isVisible(), unfolded);
        QCOMPARE(preview->Label1->isVisible(), !unfolded);
        QCOMPARE(preview->size(), unfolded ? QSize(272, 313) : QSize(209, 113));
        if (!unfolded) return;
        QCOMPARE(preview->picBorder->geometry(), QRect(8, 113, 256, 192));
        const QImage screen = Shown(preview->picBorder, 256, 192);
        QCOMPARE(screen.pixelColor(0, 0), QColor(206, 99, 49));
        QCOMPARE(screen.pixelColor(7, 15), QColor(255, 0, 255));     // outline corner
        QCOMPARE(screen.pixelColor(128, 15), QColor(255, 0, 255));   // outline top
        QCOMPARE(screen.pixelColor(8, 16), QColor(206, 99, 49));     // game area
        QCOMPARE(screen.pixelColor(248, 176), QColor(255, 0, 255));  // outline bottom right
        QCOMPARE(screen.pixelColor(249, 177), QColor(206, 99, 49));
    }

    void unloadablePictures_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("broken");  // gfx/preview.bmp, gfx/icon.bmp or user/mine.bmp
        QTest::addColumn<bool>("remove");     // remove the file, or fill it with text
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing background")
            << kFolded << "gfx/preview.bmp" << true << "no such file";
        QTest::newRow("background not a picture")
            << kFolded << "gfx/preview.bmp" << false << "not a picture";
        QTest::newRow("missing default icon")
            << kFolded << "gfx/icon.bmp" << true << "no such file";
        QTest::newRow("user icon not a picture")
            << kUnfolded << "user/mine.bmp" << false << "not a bitmap, PNG, JPEG or GIF picture";
    }

    void unloadablePictures() {
        QFETCH(QString, caption);
        QFETCH(QString, broken);
        QFETCH(bool, remove);
        QFETCH(QString, reason);
        const QString brokenPath = install_->path() + "/" + broken;
        QVERIFY(Pattern(32, 32, 1).save(UserFile("mine.bmp"), "BMP"));
        QFile::remove(brokenPath);
        if (!remove) {
            QFile text(brokenPath);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("this is not a picture\n");
        }

        MainStandIn main;
        main.cmdCustomize->setText(caption);
        main.txtIcon->setText(UserFile("mine.bmp"));
        ShowPreview(&main.window);
        QVERIFY(!CurrentPreview());
        QCOMPARE(messages_,
                 QStringList{QString("Cannot load the picture %1: %2").arg(brokenPath, reason)});
        // The discarded window is gone at once, not merely hidden.
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<frmPreview*>(w));

        // Once the picture is mended, the next press opens the preview.
        QVERIFY(Pattern(32, 32, 5).save(brokenPath, "BMP"));
        ShowPreview(&main.window);
        QVERIFY(CurrentPreview());
        QCOMPARE(messages_.size(), 1);
    }

    // Last: runs the event loop until the program's last window has closed.
    void mainWindowClosesFirst() {
        QApplication::setQuitOnLastWindowClosed(true);
        auto* mainWindow = new pellix::ui::frmPellix;
        mainWindow->show();
        mainWindow->cmdPreview->click();
        QPointer<frmPreview> preview = CurrentPreview();
        QVERIFY(preview);

        bool previewOpenAfterMain = false;
        bool timedOut = false;
        QTimer::singleShot(0, [&] {
            mainWindow->close();
            QTimer::singleShot(50, [&] {
                previewOpenAfterMain = preview && preview->isVisible();
                if (preview) preview->cmdClose->click();
            });
        });
        QTimer::singleShot(10000, [&] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        const int rc = QCoreApplication::exec();
        QVERIFY(previewOpenAfterMain);
        QVERIFY(!timedOut);
        QCOMPARE(rc, 0);
        delete mainWindow;
    }
};

QTEST_MAIN(PreviewTest)
#include "test_preview.moc"
