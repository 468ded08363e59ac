// frmPreview: the designed preview drawn with Qt widgets, showing the logic's pixels.
#include "ui/frm_preview.h"

#include <QCloseEvent>
#include <QImage>
#include <QPixmap>

#include <cmath>
#include <cstring>

#include "ui/design_widgets.h"

namespace pellix::ui {

frmPreview::frmPreview(std::function<void()> unloaded, const QIcon& icon, const QSizeF& frameExtra)
    : QWidget(nullptr), frameExtra_(frameExtra), unloaded_(std::move(unloaded)) {
    // A fixed dialog: a title bar with the close button and the main window's icon. It has
    // no owner, so it may lie behind the main window and outlive it.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // Dialogs do not keep the program running by default; this one does, so the run ends
    // only when the preview, too, has been closed.
    setAttribute(Qt::WA_QuitOnClose, true);
    const app::WindowDesign& design = app::PreviewWindowDesign();
    controls_ = BuildDesignedWindow(*this, design);
    setWindowIcon(icon);
    setFixedSize(Pixels(design.clientWidth), Pixels(design.clientHeight));
    connect(static_cast<QPushButton*>(Control(app::PreviewControl::cmdClose)),
            &QPushButton::clicked, this, [this] { close(); });
}

frmPreview::~frmPreview() {
    Unloaded();
}

void frmPreview::Unloaded() {
    if (unloaded_) std::exchange(unloaded_, nullptr)();
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

void frmPreview::SetPicture(app::PreviewControl box, const app::Image& image) {
    QImage pixels(image.width, image.height, QImage::Format_RGBA8888);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(pixels.scanLine(y), image.At(0, y), std::size_t(image.width) * 4);
    static_cast<QLabel*>(Control(box))->setPixmap(QPixmap::fromImage(pixels));
}

void frmPreview::SetText(app::PreviewControl label, const std::string& text) {
    static_cast<QLabel*>(Control(label))->setText(FromUtf8(text));
}

void frmPreview::SetTextColour(app::PreviewControl label, const app::Colour& colour) {
    QWidget* widget = Control(label);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, ToQColor(colour));
    widget->setPalette(palette);
}

void frmPreview::SetAccessibleName(app::PreviewControl box, const std::string& name) {
    Control(box)->setAccessibleName(FromUtf8(name));
}

void frmPreview::SetVisible(app::PreviewControl control, bool visible) {
    Control(control)->setVisible(visible);
}

void frmPreview::SetClientSize(int widthTwips, int heightTwips) {
    setFixedSize(Pixels(widthTwips), Pixels(heightTwips));
}

void frmPreview::Show() {
    show();
}

void frmPreview::BringForward() {
    raise();
    activateWindow();
}

void frmPreview::Discard() {
    delete this;
}

void frmPreview::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Unloaded from now on, even before the deferred delete runs: the next press of
    // "Preview NDS..." loads a new window and reads the main window afresh.
    if (event->isAccepted()) Unloaded();
}

}  // namespace pellix::ui
