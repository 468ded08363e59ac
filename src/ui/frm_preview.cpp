// frmPreview: the small window that shows how the package's DS menu entry will look.
#include "frm_preview.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QImageReader>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>

#include <cmath>

#include "app_directory.h"
#include "modio.h"

namespace pellix::ui {

namespace {

// Design layout in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) {
    return twips / kTwipsPerPixel;
}

constexpr int kClientWidth = 3135;
constexpr int kClientHeight = 1695;

const char kCaption[] = "Preview Customisations";
const char kNote[] = "NOTE: Border customisations aren't shown.";
const char kMessageCaption[] = "Quillmere";

QPointer<frmPreview>& Current() {
    static QPointer<frmPreview> current;
    return current;
}

PreviewMessage& MessageHandler() {
    static PreviewMessage handler;
    return handler;
}

void DefaultMessage(const QString& text) {
    // No owner: the main window may already be gone when the preview is opened from a
    // build's event pump, and the message must outlive neither.
    QMessageBox box(QMessageBox::Warning, kMessageCaption, text, QMessageBox::Ok);
    box.exec();
}

QFont DesignFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"});
    font.setPointSizeF(8.25);
    return font;
}

// The builder's paths are UTF-8 strings.
QString LocalPath(const std::string& path) {
    return QString::fromStdString(path);
}
std::string NativePath(const QString& path) {
    return path.toStdString();
}

// Reads a whole picture file; throws PictureLoadError naming the file and the reason.
QPixmap LoadPicture(const QString& path) {
    const QString prefix = QStringLiteral("Cannot load the picture %1: ").arg(path);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        throw PictureLoadError((prefix + "no such file").toStdString());
    if (info.isDir()) throw PictureLoadError((prefix + "it is a folder").toStdString());

    QImageReader reader(path);
    // The extension says nothing reliable: a renamed PNG still loads, a renamed text
    // file is still refused.
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        QString why;
        switch (reader.error()) {
            case QImageReader::FileNotFoundError:
                why = "no such file";
                break;
            case QImageReader::DeviceError:
                why = "the file cannot be read";
                break;
            case QImageReader::UnsupportedFormatError:
                why = "not a picture";
                break;
            case QImageReader::InvalidDataError:
                why = "the picture is damaged";
                break;
            default:
                why = reader.errorString();
                break;
        }
        throw PictureLoadError((prefix + why).toStdString());
    }
    return QPixmap::fromImage(image);
}

// The background the design carries until the first successful load replaces it: the
// installed artwork when the program carries it, else the same light grey entry drawn here.
QPixmap Placeholder() {
    QPixmap art(QStringLiteral(":/window/preview_placeholder.bmp"));
    if (!art.isNull()) return art;
    QImage image(191, 47, QImage::Format_RGB32);
    image.fill(QColor(212, 212, 212));
    QPainter painter(&image);
    QLinearGradient strip(0, 0, 0, 47);
    strip.setColorAt(0, QColor(176, 176, 176));
    strip.setColorAt(1, QColor(232, 232, 232));
    painter.fillRect(0, 0, 4, 47, strip);
    painter.setPen(QColor(128, 128, 128));
    painter.fillRect(153, 6, 34, 34, QColor(192, 192, 192));
    painter.drawRect(153, 6, 33, 33);
    painter.end();
    return QPixmap::fromImage(image);
}

// A picture box: draws its picture at its top-left corner, unscaled, cut at its edges.
QLabel* NewPictureBox(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* box = new QLabel(parent);
    box->setObjectName(name);
    box->setGeometry(Px(left), Px(top), Px(width), Px(height));
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setScaledContents(false);
    box->setFrameShape(QFrame::NoFrame);
    return box;
}

QLabel* NewTitleLabel(QWidget* parent, const char* name, int top) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(Px(840), Px(top), Px(1935), Px(255));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // Titles are shown exactly as typed: no markup, no wrapping; a long line is cut off
    // at the label's edges.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAutoFillBackground(false);  // let the background picture show through
    return label;
}

}  // namespace

// --- WidgetPreviewSource ---------------------------------------------------------------

QRectF WidgetPreviewSource::FrameGeometry() const {
    return QRectF(main_->frameGeometry());
}

QSizeF WidgetPreviewSource::FrameExtra() const {
    return QSizeF(main_->frameGeometry().size() - main_->geometry().size());
}

QString WidgetPreviewSource::ChildText(const char* name) const {
    const QWidget* child = main_->findChild<const QWidget*>(QString::fromLatin1(name));
    return child ? child->property("text").toString() : QString();
}

QString WidgetPreviewSource::CustomizeCaption() const {
    return ChildText("cmdCustomize");
}
QString WidgetPreviewSource::IconText() const {
    return ChildText("txtIcon");
}

QString WidgetPreviewSource::TitleText(int line) const {
    switch (line) {
        case 1:
            return ChildText("txtTitle1");
        case 2:
            return ChildText("txtTitle2");
        case 3:
            return ChildText("txtTitle3");
        default:
            return QString();
    }
}

QIcon WidgetPreviewSource::WindowIcon() const {
    return main_->windowIcon();
}

// --- frmPreview -----------------------------------------------------------------------

frmPreview::frmPreview() : QWidget(nullptr) {
    setObjectName("frmPreview");
    // A tool window: a title bar with only a close button and no taskbar button of its own.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // Tool windows do not keep the program running by default; this one does, so the run
    // ends only when the preview, too, has been closed.
    setAttribute(Qt::WA_QuitOnClose, true);
    setWindowTitle(kCaption);
    setFont(DesignFont());
    setFixedSize(Px(kClientWidth), Px(kClientHeight));

    picBG = NewPictureBox(this, "picBG", 120, 120, 2865, 705);
    picBG->setPixmap(Placeholder());
    lblTitle1 = NewTitleLabel(picBG, "lblTitle1", 60);
    lblTitle2 = NewTitleLabel(picBG, "lblTitle2", 240);
    lblTitle3 = NewTitleLabel(picBG, "lblTitle3", 420);

    // picIcon belongs to the window, not to picBG, and lies above it.
    picIcon = NewPictureBox(this, "picIcon", 225, 210, 480, 480);
    picIcon->raise();

    Label1 = new QLabel(kNote, this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(Px(240), Px(960), Px(1095), Px(615));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    QPalette notePalette = Label1->palette();
    notePalette.setColor(QPalette::WindowText, QColor(192, 0, 192));
    Label1->setPalette(notePalette);

    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    cmdClose->setGeometry(Px(1680), Px(1080), Px(1215), Px(375));
    cmdClose->setAutoDefault(false);
    cmdClose->setDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
}

void frmPreview::Form_Load(const PreviewSource& main) {
    setWindowIcon(main.WindowIcon());

    // Centre over the main window's outer frame. The halves stay fractional until the
    // position is set, and the result is not pulled back onto the screen.
    const QRectF mainFrame = main.FrameGeometry();
    const QSizeF extra = main.FrameExtra();
    const double width = Px(kClientWidth) + extra.width();
    const double height = Px(kClientHeight) + extra.height();
    const double left = mainFrame.width() / 2 - width / 2 + mainFrame.left();
    const double top = mainFrame.height() / 2 - height / 2 + mainFrame.top();
    move(static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)));

    const std::string appDir = pellix::ApplicationDirectory();
    picBG->setPixmap(LoadPicture(LocalPath(appDir + "/gfx/preview.bmp")));

    // Both tests are made every time, so a failing existence test is never skipped.
    const QString iconText = main.IconText();
    const bool unfolded = main.CustomizeCaption().contains('-');
    const bool iconExists = pellix::modIO::PathExists(NativePath(iconText));
    const QString iconFile =
        unfolded && iconExists ? iconText : LocalPath(appDir + "/gfx/icon.bmp");

    lblTitle1->setText(main.TitleText(1));
    lblTitle2->setText(main.TitleText(2));
    lblTitle3->setText(main.TitleText(3));

    picIcon->setPixmap(LoadPicture(iconFile));
}

void frmPreview::cmdClose_Click() {
    close();
}

void frmPreview::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Unloaded from now on, even before the deferred delete runs: the next press of
    // "Preview NDS..." loads a new window and reads the main window afresh.
    if (event->isAccepted() && Current() == this) Current() = nullptr;
}

// --- entry points ---------------------------------------------------------------------

void ShowPreview(const PreviewSource& main) {
    if (frmPreview* loaded = Current()) {
        loaded->raise();
        loaded->activateWindow();
        return;
    }
    auto* preview = new frmPreview();
    try {
        preview->Form_Load(main);
    } catch (const std::exception& e) {
        // A half-filled preview would misrepresent the menu entry: discard it and say
        // which picture failed. The next press tries again from the start.
        delete preview;
        const PreviewMessage& handler = MessageHandler();
        if (handler)
            handler(QString::fromStdString(e.what()));
        else
            DefaultMessage(QString::fromStdString(e.what()));
        return;
    }
    Current() = preview;
    preview->show();
}

void ShowPreview(QWidget* mainWindow) {
    ShowPreview(WidgetPreviewSource(mainWindow));
}

frmPreview* CurrentPreview() {
    return Current();
}

void SetPreviewMessageHandler(PreviewMessage handler) {
    MessageHandler() = std::move(handler);
}

}  // namespace pellix::ui
