// Tests of the Qt preview window as "Preview NDS..." opens it: its design, the logic's pixels
// drawn as they are, a damaged picture told by the main window, and its life beside the main
// window. What it shows and when is the logic's, tested in tests/app.
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

#include "builder/app_directory.h"
#include "ui/frm_pellix.h"
#include "ui/frm_preview.h"

using pellix::app::PreviewControl;
using pellix::ui::frmPellix;
using pellix::ui::frmPreview;

namespace {

// A picture whose every pixel differs from its neighbours, so any shift, scaling or
// wrong corner shows up in a comparison.
QImage Pattern(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed) % 256, (y * 5 + seed) % 256, (x + y) % 256));
    return image;
}

// What a picture box shows: the top-left width x height pixels of the box.
QImage Shown(QWidget* box, int width, int height) {
    return box->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(0, 0, width, height);
}

// An image of the logic as a widget draws it: opaque pixels as they are.
QImage Expected(const pellix::app::Image& image) {
    QImage out(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.At(x, y);
            out.setPixel(x, y, qRgb(p[0], p[1], p[2]));
        }
    return out;
}

frmPreview* OpenPreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<frmPreview*>(w); preview && preview->isVisible())
            return preview;
    return nullptr;
}

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
    std::unique_ptr<frmPellix> main_;
    QStringList messages_;

    QString Gfx(const QString& name) const { return install_->path() + "/gfx/" + name; }
    QString UserFile(const QString& name) const { return install_->path() + "/" + name; }
    QWidget* Box(frmPreview* preview, PreviewControl control) { return preview->Control(control); }

  private slots:
    void initTestCase() {
        previousHandler = qInstallMessageHandler(QuietRaise);
        install_ = std::make_unique<QTemporaryDir>();
        QVERIFY(install_->isValid());
        QVERIFY(QDir(install_->path()).mkpath("gfx"));
        pellix::SetApplicationDirectory(install_->path().toStdString());
    }

    void init() {
        QVERIFY(Pattern(191, 47, 11).save(Gfx("preview.bmp"), "BMP"));
        QVERIFY(Pattern(32, 32, 90).save(Gfx("icon.bmp"), "BMP"));
        messages_.clear();
        main_ = std::make_unique<frmPellix>();
        main_->SetMessageBox([this](QWidget* owner, const QString& text) {
            QCOMPARE(owner, main_.get());  // owned by, and centred on, the main window
            messages_ << text;
        });
        main_->move(120, 90);
        main_->show();
    }

    void cleanup() {
        if (frmPreview* preview = OpenPreview()) preview->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        main_.reset();
    }

    void cleanupTestCase() { pellix::SetApplicationDirectory(""); }

    // A fixed dialog with the main window's icon and the designed layout, drawing the
    // logic's pixels unchanged, its note wrapped inside its label.
    void designedWindowDrawsTheLogicsPixels() {
        main_->setWindowIcon(QIcon(QPixmap::fromImage(Pattern(32, 32, 3))));
        main_->txtTitle1->setText("<b>A & B</b>");
        main_->cmdPreview->click();
        frmPreview* preview = OpenPreview();
        QVERIFY(preview);
        QCOMPARE(preview->windowTitle(), QString("Preview Customisations"));
        QCOMPARE(preview->size(), QSize(209, 113));
        QCOMPARE(preview->minimumSize(), preview->maximumSize());
        QCOMPARE(preview->windowType(), Qt::Dialog);
        QVERIFY(!(preview->windowFlags() & Qt::WindowMinMaxButtonsHint));
        QVERIFY(preview->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!preview->parentWidget());
        QVERIFY(preview->windowHandle() && !preview->windowHandle()->transientParent());
        QCOMPARE(
            preview->windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_RGB32),
            Pattern(32, 32, 3));

        const struct {
            PreviewControl control;
            QRect geometry;
        } layout[] = {
            {PreviewControl::picBG, {8, 8, 191, 47}},
            {PreviewControl::lblTitle1, {56, 4, 129, 17}},
            {PreviewControl::picIcon, {15, 14, 32, 32}},
            {PreviewControl::note, {16, 64, 73, 41}},
            {PreviewControl::cmdClose, {112, 72, 81, 25}},
        };
        for (const auto& row : layout)
            QCOMPARE(Box(preview, row.control)->geometry(), row.geometry);
        const QObjectList& stack = preview->children();
        QVERIFY(stack.indexOf(Box(preview, PreviewControl::picIcon)) >
                stack.indexOf(Box(preview, PreviewControl::picBG)));

        auto* title = static_cast<QLabel*>(Box(preview, PreviewControl::lblTitle1));
        QCOMPARE(title->text(), QString("<b>A & B</b>"));
        QCOMPARE(title->textFormat(), Qt::PlainText);
        auto* note = static_cast<QLabel*>(Box(preview, PreviewControl::note));
        const QRect needed =
            QFontMetrics(note->font())
                .boundingRect(QRect(QPoint(), note->size()), Qt::TextWordWrap, note->text());
        QVERIFY2(needed.height() <= note->height() && needed.width() <= note->width(),
                 qPrintable(QString("%1 x %2").arg(needed.width()).arg(needed.height())));

        const pellix::app::Image back =
            pellix::app::ReadPreviewPicture(Gfx("preview.bmp").toStdString());
        QCOMPARE(Shown(Box(preview, PreviewControl::picBG), 191, 47).copy(0, 0, 40, 4),
                 Expected(back).copy(0, 0, 40, 4));
        QCOMPARE(Shown(Box(preview, PreviewControl::picIcon), 32, 32),
                 Expected(pellix::app::IconOverBackground(
                     pellix::app::PackageIcon(Gfx("icon.bmp").toStdString()), back, 7, 6)));
        QVERIFY(messages_.isEmpty());
    }

    // Beyond the design: the top screen the logic composed, in the grown window.
    void customBorderAsTheTopScreen() {
        QImage wide(320, 192, QImage::Format_RGB32);
        wide.fill(QColor(200, 100, 50));
        QVERIFY(wide.save(UserFile("wide.bmp"), "BMP"));
        main_->cmdCustomize->click();
        main_->txtBorder->setText(UserFile("wide.bmp"));
        main_->cmdPreview->click();
        frmPreview* preview = OpenPreview();
        QVERIFY(preview);
        QVERIFY(!Box(preview, PreviewControl::note)->isVisible());
        QCOMPARE(preview->size(), QSize(272, 313));
        QCOMPARE(Box(preview, PreviewControl::picBorder)->geometry(), QRect(8, 113, 256, 192));
        QCOMPARE(Shown(Box(preview, PreviewControl::picBorder), 256, 192),
                 Expected(pellix::app::TopScreenWithGameArea(
                     pellix::app::PackageBorder(UserFile("wide.bmp").toStdString()))));
    }

    // A damaged picture: no preview stays, and the main window tells the logic's message.
    void damagedBorderIsToldByTheMainWindow() {
        QFile text(UserFile("damaged.bmp"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("this is not a picture\n");
        text.close();
        main_->cmdCustomize->click();
        main_->txtBorder->setText(UserFile("damaged.bmp"));
        main_->cmdPreview->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<frmPreview*>(w));
        QCOMPARE(
            messages_,
            QStringList{QString::fromStdString(pellix::app::PictureLoadMessage(
                UserFile("damaged.bmp").toStdString(), "not a bitmap, PNG, JPEG or GIF picture"))});
    }

    // Closing the window, by its button or its frame, tells the logic: the next press reads
    // the main window afresh.
    void closingUnloads() {
        for (bool byButton : {true, false}) {
            main_->txtTitle1->setText(byButton ? "First" : "Second");
            main_->cmdPreview->click();
            frmPreview* preview = OpenPreview();
            QVERIFY(preview);
            QCOMPARE(static_cast<QLabel*>(Box(preview, PreviewControl::lblTitle1))->text(),
                     main_->txtTitle1->text());
            if (byButton)
                static_cast<QPushButton*>(Box(preview, PreviewControl::cmdClose))->click();
            else
                preview->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!OpenPreview());
        }
    }

    // Last: runs the event loop until the program's last window has closed.
    void mainWindowClosesFirst() {
        QApplication::setQuitOnLastWindowClosed(true);
        main_->cmdPreview->click();
        QPointer<frmPreview> preview = OpenPreview();
        QVERIFY(preview);

        bool previewOpenAfterMain = false;
        bool timedOut = false;
        QTimer::singleShot(0, [&] {
            main_->close();
            main_.reset();
            QTimer::singleShot(50, [&] {
                previewOpenAfterMain = preview && preview->isVisible();
                if (preview) preview->close();
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
    }
};

QTEST_MAIN(PreviewTest)
#include "test_preview.moc"
