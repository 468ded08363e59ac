// The window classes the designs need beyond the system's controls (panels that draw their
// outlines, picture boxes, title labels drawn by the picture beneath) and fonts by point size
// at a DPI.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/window_layout.h"

namespace pellix::win32 {

// The window class names, also for tools and tests that look for the controls.
extern const wchar_t kPanelClass[];    // a frame: one colour, outlines of its shapes
extern const wchar_t kPictureClass[];  // a picture box
extern const wchar_t kTitleClass[];    // a transparent label over a picture box

// Registers the three classes once.
void RegisterControlClasses(HINSTANCE instance);

// A colour of the design as a COLORREF; System and Transparent give `fallback`.
COLORREF ToColorRef(const app::Colour& colour, COLORREF fallback);

// Frames: the fill colour and the outline rectangles (pixels, in the frame's client area)
// drawn one pixel wide in their colour. Replaces an outline with the same id.
void SetPanelFill(HWND panel, COLORREF fill);
void SetPanelOutline(HWND panel, int id, const RECT& rect, COLORREF colour, bool visible);

// Picture boxes: the bitmap drawn at the top-left corner, `density` picture pixels to one
// pixel at 96 DPI (2 for artwork drawn at twice the size) and scaled with the DPI, cut at the
// box's edges; null draws nothing. The box owns the bitmap from then on.
void SetPicture(HWND pictureBox, HBITMAP bitmap, int density = 1);
HBITMAP GetPicture(HWND pictureBox);

// Fonts of the design at a DPI, made on first use and deleted with the cache. The design's
// "MS Sans Serif" is a bitmap face that does not scale; its TrueType successor
// "Microsoft Sans Serif" takes its place (the font mapper finds the nearest where missing).
class FontCache {
  public:
    FontCache() = default;
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;
    ~FontCache();
    HFONT Get(const app::FontDesign& design, unsigned dpi);
    // Deletes the fonts made for other DPIs (once no control uses them any more).
    void DropOtherDpis(unsigned dpi);

  private:
    using Key = std::tuple<std::string, long, bool, unsigned>;
    std::map<Key, HFONT> fonts_;
};

// The font for `text` wrapped at word breaks inside a box of `box` pixels: `font` at `dpi`,
// or the largest size below it, in quarter points, at which no line is wider than the box
// and all lines fit its height.
HFONT FitWrappedText(FontCache& fonts, const app::FontDesign& font, const std::wstring& text,
                     SIZE box, unsigned dpi);

// Solid brushes by colour, deleted with the cache.
class BrushCache {
  public:
    BrushCache() = default;
    BrushCache(const BrushCache&) = delete;
    BrushCache& operator=(const BrushCache&) = delete;
    ~BrushCache();
    HBRUSH Get(COLORREF colour);

  private:
    std::map<COLORREF, HBRUSH> brushes_;
};

}  // namespace pellix::win32
