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
#include <cstring>

#include "design_widgets.h"

namespace pellix::ui {

namespace {

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
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(app::kMessageCaption), text,
                    QMessageBox::Ok);
    box.exec();
}

void Report(const QString& text) {
    const PreviewMessage& handler = MessageHandler();
    if (handler)
        handler(text);
    else
        DefaultMessage(text);
}

// The facts of a main window seen through a PreviewSource (pixels become twips).
app::PreviewFacts FactsOf(const PreviewSource& main) {
    app::PreviewFacts facts;
    const QRectF frame = main.FrameGeometry();
    facts.mainOuter = {app::PixelsToTwipsF(frame.left()), app::PixelsToTwipsF(frame.top()),
                       app::PixelsToTwipsF(frame.width()), app::PixelsToTwipsF(frame.height())};
    facts.customizeCaption = ToUtf8(main.CustomizeCaption());
    facts.iconText = ToUtf8(main.IconText());
    for (int line = 1; line <= 3; ++line) facts.titles[line - 1] = ToUtf8(main.TitleText(line));
    facts.borderText = ToUtf8(main.BorderText());
    return facts;
}

// Reads a whole picture file; "" when it loaded, else a short reason.
QString ReadPicture(const QString& path, QPixmap& pixmap) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return "no such file";
    if (info.isDir()) return "it is a folder";

    QImageReader reader(path);
    // The extension says nothing reliable: a renamed PNG still loads, a renamed text
    // file is still refused.
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        switch (reader.error()) {
            case QImageReader::FileNotFoundError:
                return "no such file";
            case QImageReader::DeviceError:
                return "the file cannot be read";
            case QImageReader::UnsupportedFormatError:
                return "not a picture";
            case QImageReader::InvalidDataError:
                return "the picture is damaged";
            default:
                return reader.errorString();
        }
    }
    pixmap = QPixmap::fromImage(image);
    return {};
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

QString WidgetPreviewSource::BorderText() const {
    return ChildText("txtBorder");
}

QIcon WidgetPreviewSource::WindowIcon() const {
    return main_->windowIcon();
}

// --- frmPreview -----------------------------------------------------------------------

frmPreview::frmPreview() : QWidget(nullptr) {
    // A tool window: a title bar with only a close button and no taskbar button of its own.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // Tool windows do not keep the program running by default; this one does, so the run
    // ends only when the preview, too, has been closed.
    setAttribute(Qt::WA_QuitOnClose, true);
    const app::WindowSpec& design = app::PreviewWindowSpec();
    controls_ = BuildDesignedWindow(*this, design);
    setFixedSize(Pixels(design.clientWidth), Pixels(design.clientHeight));

    picBG = static_cast<QLabel*>(Control(app::PreviewControl::picBG));
    lblTitle1 = static_cast<QLabel*>(Control(app::PreviewControl::lblTitle1));
    lblTitle2 = static_cast<QLabel*>(Control(app::PreviewControl::lblTitle2));
    lblTitle3 = static_cast<QLabel*>(Control(app::PreviewControl::lblTitle3));
    picIcon = static_cast<QLabel*>(Control(app::PreviewControl::picIcon));
    Label1 = static_cast<QLabel*>(Control(app::PreviewControl::Label1));
    cmdClose = static_cast<QPushButton*>(Control(app::PreviewControl::cmdClose));
    picBorder = static_cast<QLabel*>(Control(app::PreviewControl::picBorder));

    picBG->setPixmap(Placeholder());
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
}

QWidget* frmPreview::Control(app::PreviewControl control) const {
    return controls_.at(static_cast<std::size_t>(control));
}

app::TwipsSizeF frmPreview::OuterSize() {
    return {app::PixelsToTwipsF(width() + frameExtra_.width()),
            app::PixelsToTwipsF(height() + frameExtra_.height())};
}

void frmPreview::MoveTo(double leftTwips, double topTwips) {
    // Rounded only here; the result is not pulled back onto the screen.
    move(static_cast<int>(std::lround(app::TwipsToPixelsF(leftTwips))),
         static_cast<int>(std::lround(app::TwipsToPixelsF(topTwips))));
}

std::string frmPreview::LoadPicture(app::PreviewControl box, const std::string& path) {
    QPixmap pixmap;
    const QString reason = ReadPicture(FromUtf8(path), pixmap);
    if (!reason.isEmpty()) return ToUtf8(reason);
    static_cast<QLabel*>(Control(box))->setPixmap(pixmap);
    return "";
}

void frmPreview::SetText(app::PreviewControl label, const std::string& text) {
    static_cast<QLabel*>(Control(label))->setText(FromUtf8(text));
}

bool frmPreview::ShowIcon(const app::IconImage& icon) {
    QImage image(icon.width, icon.height, QImage::Format_RGBA8888);
    for (int y = 0; y < icon.height; ++y) {
        std::memcpy(image.scanLine(y), icon.rgba.data() + std::size_t(y) * icon.width * 4,
                    std::size_t(icon.width) * 4);
    }
    picIcon->setPixmap(QPixmap::fromImage(image));
    return true;
}

bool frmPreview::ShowBorder(const app::BorderImage& border) {
    QImage image(border.width, border.height, QImage::Format_RGB888);
    for (int y = 0; y < border.height; ++y) {
        std::memcpy(image.scanLine(y), border.rgb.data() + std::size_t(y) * border.width * 3,
                    std::size_t(border.width) * 3);
    }
    QPainter painter(&image);
    painter.setPen(ToQColor(app::kGameAreaOutline));
    const QRect area = Pixels(app::kBorderGameArea);
    // The outline lies just outside the game area, on the border the player sees.
    painter.drawRect(area.adjusted(-1, -1, 0, 0));
    painter.end();
    picBorder->setPixmap(QPixmap::fromImage(image));
    picBorder->show();
    Label1->hide();
    setFixedSize(Pixels(app::kPreviewBorderClientWidth), Pixels(app::kPreviewBorderClientHeight));
    return true;
}

void frmPreview::ShowMessage(const std::string& text) {
    Report(FromUtf8(text));
}

void frmPreview::Form_Load(const PreviewSource& main) {
    setWindowIcon(main.WindowIcon());
    SetFrameExtra(main.FrameExtra());
    try {
        app::PreviewLogic(*this).Load(FactsOf(main));
    } catch (const app::PreviewPictureError& error) {
        throw PictureLoadError(error.message);
    }
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

void ShowPreview(const app::PreviewFacts& facts, const QSizeF& frameExtra, const QIcon& icon) {
    if (frmPreview* loaded = Current()) {
        loaded->raise();
        loaded->activateWindow();
        return;
    }
    auto* preview = new frmPreview();
    preview->setWindowIcon(icon);
    preview->SetFrameExtra(frameExtra);
    // A half-filled preview would misrepresent the menu entry: on a failure the logic has
    // said which picture failed, and the window is discarded. The next press tries again.
    if (!app::PreviewLogic(*preview).LoadOrReport(facts)) {
        delete preview;
        return;
    }
    Current() = preview;
    preview->show();
}

void ShowPreview(const PreviewSource& main) {
    ShowPreview(FactsOf(main), main.FrameExtra(), main.WindowIcon());
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
