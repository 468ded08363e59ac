// Qt widgets made from the shared window designs.
#include "ui/design_widgets.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

namespace pellix::ui {

namespace {

// The one-pixel outline drawn around a panel; not filled and deaf to the mouse.
class ShapeOutline : public QWidget {
  public:
    ShapeOutline(QWidget* parent, const QColor& colour) : QWidget(parent), colour_(colour) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(colour_);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

  private:
    QColor colour_;
};

// A check box without a caption: styles draw the focus around the caption, so this one draws
// it around the box, and the keyboard's place is always seen.
class CaptionlessCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QCheckBox::paintEvent(event);
        if (!hasFocus()) return;
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

void SetColour(QWidget* widget, QPalette::ColorRole role, const app::Colour& colour) {
    if (colour.kind != app::Colour::Rgb) return;
    QPalette palette = widget->palette();
    palette.setColor(role, ToQColor(colour));
    widget->setPalette(palette);
}

// A wrapping label whose words would not fit its box at the design's font (other faces and
// hinting at other scales) gets the largest smaller size at which they do.
void FitWrappedText(QLabel* label) {
    const QRect box(QPoint(0, 0), label->size());
    QFont font = label->font();
    for (double points = font.pointSizeF(); points > 4; points -= 0.25) {
        font.setPointSizeF(points);
        const QFontMetrics metrics(font);
        const QRect needed = metrics.boundingRect(box, Qt::TextWordWrap, label->text());
        if (needed.width() <= box.width() && needed.height() <= box.height()) break;
    }
    label->setFont(font);
}

QWidget* MakeWidget(const app::ControlDesign& row, QWidget* parent) {
    const QString caption = QString::fromUtf8(row.caption);
    switch (row.kind) {
        case app::ControlKind::PictureBox: {
            auto* box = new QLabel(parent);
            box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            box->setScaledContents(false);
            box->setFrameShape(QFrame::NoFrame);
            if (row.picture) {
                const QPixmap art = DesignArtwork(row.picture, qApp->devicePixelRatio());
                // Artwork not drawn yet leaves an empty box where the picture goes.
                if (!art.isNull()) box->setPixmap(art);
            }
            return box;
        }
        case app::ControlKind::Frame: {
            auto* frame = new QWidget(parent);
            SetColour(frame, QPalette::Window, row.back);
            frame->setAutoFillBackground(row.back.kind == app::Colour::Rgb);
            return frame;
        }
        case app::ControlKind::Shape: {
            auto* shape = new ShapeOutline(parent, ToQColor(row.fore));
            shape->setAttribute(Qt::WA_TransparentForMouseEvents);
            return shape;
        }
        case app::ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            // Captions and copied titles are shown as typed: no markup, no mnemonics.
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(
                (row.align == app::TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
                Qt::AlignTop);
            label->setWordWrap(row.wordWrap);
            label->setAutoFillBackground(false);  // transparent: the container shows through
            SetColour(label, QPalette::WindowText, row.fore);
            return label;
        }
        case app::ControlKind::TextBox: {
            auto* box = new QLineEdit(caption, parent);
            SetColour(box, QPalette::Base, row.back);
            SetColour(box, QPalette::Text, row.fore);
            return box;
        }
        case app::ControlKind::Button: {
            auto* button = new QPushButton(caption, parent);
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case app::ControlKind::CheckBox: {
            auto* box = new CaptionlessCheckBox(parent);
            // A button fills its background from the style's button colour; the design
            // wants the panel beneath it, so it fills from the window role, set to the panel.
            SetColour(box, QPalette::Window, row.back);
            SetColour(box, QPalette::Button, row.back);
            box->setBackgroundRole(QPalette::Window);
            box->setAutoFillBackground(row.back.kind == app::Colour::Rgb);
            box->setCheckState(row.checkValue == app::Check::Checked  ? Qt::Checked
                               : row.checkValue == app::Check::Greyed ? Qt::PartiallyChecked
                                                                      : Qt::Unchecked);
            return box;
        }
    }
    return new QWidget(parent);
}

}  // namespace

int Pixels(int twips) {
    return app::TwipsToPixels(twips);
}

QRect Pixels(const app::TwipsRect& rect) {
    return QRect(Pixels(rect.left), Pixels(rect.top), Pixels(rect.width), Pixels(rect.height));
}

QColor ToQColor(const app::Colour& colour) {
    switch (colour.kind) {
        case app::Colour::Rgb:
            return QColor(colour.red, colour.green, colour.blue);
        case app::Colour::Transparent:
            return QColor(Qt::transparent);
        default:
            return QColor();
    }
}

QFont DesignFont(const app::FontDesign& design) {
    QFont font;
    const QString face = QString::fromUtf8(design.face);
    if (face == QLatin1String("Arial")) {
        font.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    } else {
        font.setFamilies({face, "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
    }
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(design.points);
    font.setBold(design.bold);
    return font;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QPixmap DesignArtwork(const char* file, qreal ratio) {
    const QString name = QString::fromUtf8(file);
    if (ratio > 1) {
        // Drawn at twice the size by the artwork generator: sharp above 96 dpi.
        const QString twice = QStringLiteral(":/window/") + QFileInfo(name).completeBaseName() +
                              QStringLiteral("@2x.") + QFileInfo(name).suffix();
        QPixmap art(twice);
        if (!art.isNull()) {
            art.setDevicePixelRatio(2);
            return art;
        }
    }
    return QPixmap(QStringLiteral(":/window/") + name);
}

QIcon DesignIcon(const app::WindowDesign& window) {
    QPixmap picture(QStringLiteral(":/window/") + QString::fromUtf8(window.icon));
    if (!picture.isNull() && window.iconTransparent.kind == app::Colour::Rgb) {
        picture.setMask(picture.createMaskFromColor(ToQColor(window.iconTransparent)));
    }
    return QIcon(picture);
}

std::vector<QWidget*> BuildDesignedWindow(QWidget& host, const app::WindowDesign& window) {
    host.setObjectName(QString::fromUtf8(window.name));
    host.setWindowTitle(QString::fromUtf8(window.caption));
    host.setWindowIcon(DesignIcon(window));
    if (window.back.kind == app::Colour::Rgb) {
        SetColour(&host, QPalette::Window, window.back);
        host.setAutoFillBackground(true);
    }
    host.setFont(DesignFont(window.font));

    std::vector<QWidget*> widgets(window.controlCount, nullptr);
    for (std::size_t i = 0; i < window.controlCount; ++i) {
        const app::ControlDesign& row = window.controls[i];
        QWidget* parent = row.container == app::kWindow ? &host : widgets.at(row.container);
        QWidget* widget = MakeWidget(row, parent);
        widget->setObjectName(QString::fromUtf8(row.name));
        widget->setGeometry(Pixels(row.rect));
        widget->setFont(DesignFont(row.font));
        widget->setEnabled(row.enabled);
        if (!row.visible) widget->hide();
        if (row.kind == app::ControlKind::Label && row.wordWrap)
            FitWrappedText(static_cast<QLabel*>(widget));
        widgets[i] = widget;
    }
    // What a screen reader says: the name, the notes beside the control, and the label tied.
    for (std::size_t i = 0; i < window.controlCount; ++i) {
        const app::SpokenControl spoken = app::Spoken(window, static_cast<int>(i));
        if (!spoken.name.empty()) widgets[i]->setAccessibleName(FromUtf8(spoken.name));
        if (!spoken.description.empty())
            widgets[i]->setAccessibleDescription(FromUtf8(spoken.description));
        if (spoken.label != app::kWindow)
            static_cast<QLabel*>(widgets.at(spoken.label))->setBuddy(widgets[i]);
    }
    const std::vector<int> order = app::TabOrder(window);
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget::setTabOrder(widgets[order[i]], widgets[order[i + 1]]);
    }
    return widgets;
}

}  // namespace pellix::ui
