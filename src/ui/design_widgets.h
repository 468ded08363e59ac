// Qt widgets made from the shared window designs: one widget per control row, in its container,
// at its place, with its caption, font, colours and start state.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

#include "app/window_layout.h"

namespace pellix::ui {

// Twips of the design in Qt's logical pixels (96 dots per inch; Qt scales for the screen).
QRect Pixels(const app::TwipsRect& rect);
int Pixels(int twips);

QColor ToQColor(const app::Colour& colour);
// The design's font, falling back to the nearest sans serif where the face is missing.
QFont DesignFont(const app::FontDesign& design);

QString FromUtf8(const std::string& text);
std::string ToUtf8(const QString& text);

// A picture of the design's artwork (assets/window) for a screen of `ratio` device pixels to
// a logical one: the version drawn at 2x where the screen is finer than 1x and one exists.
QPixmap DesignArtwork(const char* file, qreal ratio);

// The window icon of the design, its background colour shown see-through.
QIcon DesignIcon(const app::WindowDesign& window);

// Sets the window's title, colour and default font, and creates every control of `window`
// in stacking order. Returns the widgets indexed by control id. The title labels and text
// boxes show text as typed (no markup). Tab order follows the design; each control gets the
// name and description a screen reader says (app::Spoken), its label as its buddy.
std::vector<QWidget*> BuildDesignedWindow(QWidget& host, const app::WindowDesign& window);

}  // namespace pellix::ui
