// What the preview window decides: where it opens, which icon it shows, its title lines, and
// what it tells the user when a picture cannot be loaded.
//
// For a front-end writer: the main window's logic hands you a PreviewFacts when "Preview
// NDS..." is pressed (MainWindowView::ShowPreview). If your preview is already loaded, only
// bring it forward. Otherwise create the window from PreviewWindowSpec(), implement
// PreviewView over it and call PreviewLogic(view).LoadOrReport(facts): on true show the
// window modeless with no owner; on false the message has been shown, so discard it. The
// Close button and the close box unload the window; the next press loads it afresh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window_layout.h"

namespace pellix::app {

// What the preview reads from the main window, once, when it loads.
struct PreviewFacts {
    TwipsRectF mainOuter;          // the main window's outer position and size, in twips
    std::string customizeCaption;  // caption of cmdCustomize ("-" while the panel is open)
    std::string iconText;          // text of txtIcon, as typed
    std::string titles[3];         // text of txtTitle1..3
    std::string borderText;        // text of txtBorder, as typed
};

// A 32 x 32 icon as the DS menu shows it: rows top-down, four bytes a pixel (red, green,
// blue, alpha), alpha 0 where the menu behind shows through and 255 elsewhere.
struct IconImage {
    int width = 32;
    int height = 32;
    std::vector<std::uint8_t> rgba;
};

// The DS's top screen as a border fills it: 256 x 192, rows top-down, three bytes a pixel
// (red, green, blue) at the DS's 5-bit precision.
struct BorderImage {
    int width = 256;
    int height = 192;
    std::vector<std::uint8_t> rgb;
};

// The preview window as its logic sees it. Strings are UTF-8.
class PreviewView {
  public:
    virtual ~PreviewView() = default;
    // The preview's outer size (its client area plus its frame), in twips.
    virtual TwipsSizeF OuterSize() = 0;
    // Moves the window's outer top-left corner; the front end rounds only here.
    virtual void MoveTo(double leftTwips, double topTwips) = 0;
    // Loads the picture file at `path` into a picture box (picBG or picIcon), drawn at its
    // corner unscaled. Returns "" when it was loaded, else a short reason such as
    // "no such file", "not a picture", "the picture is damaged".
    virtual std::string LoadPicture(PreviewControl box, const std::string& path) = 0;
    virtual void SetText(PreviewControl label, const std::string& text) = 0;
    // Shows the icon the package will hold in picIcon, at its corner, its clear pixels
    // letting picBG show through. A front end that cannot returns false (the default); the
    // logic then loads the icon file itself with LoadPicture.
    virtual bool ShowIcon(const IconImage& icon) {
        (void)icon;
        return false;
    }
    // Beyond the design: shows a custom border as the DS's top screen in picBorder, the
    // game area (kBorderGameArea) outlined, the client area grown to
    // kPreviewBorderClientWidth x kPreviewBorderClientHeight and the note (Label1) hidden.
    // A front end that does not returns false (the default) and keeps the designed window.
    virtual bool ShowBorder(const BorderImage& border) {
        (void)border;
        return false;
    }
    // Shows a message (caption "Quillmere", one OK button) and returns once dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
};

// A picture the preview could not load; what() is the message the user is shown.
struct PreviewPictureError {
    std::string message;
};

// The preview's outer top-left corner: centred over the main window's outer frame, computed
// in floating point and not pulled back onto the screen.
TwipsPointF PreviewPosition(const TwipsRectF& mainOuter, const TwipsSizeF& previewOuter);

// The icon file the preview shows: the text of txtIcon when the panel is open (the caption
// holds a "-") and a file exists there, else `appDir`/gfx/icon.bmp. Both tests are made.
std::string PreviewIconFile(const std::string& customizeCaption, const std::string& iconText,
                            const std::string& appDir);

// The icon the package holds when built with `iconFile`: the file itself when it already is
// a DS icon, else its conversion, as the DS menu shows it. Throws PreviewPictureError
// naming the file and the reason when it cannot be read or converted.
IconImage PackageIcon(const std::string& iconFile);

// The custom border the package holds when built with the panel open and `borderText`
// naming an existing file; none (false) otherwise, as for the build.
bool CustomBorderFile(const std::string& customizeCaption, const std::string& borderText);

// The top screen a border file gives: the picture itself at 256 x 192, else its conversion
// (scaled to cover, centred, cropped). Throws PreviewPictureError naming the file.
BorderImage PackageBorder(const std::string& borderFile);

// The message for a picture that cannot be loaded.
std::string PictureLoadMessage(const std::string& path, const std::string& reason);

class PreviewLogic {
  public:
    explicit PreviewLogic(PreviewView& view) : view_(view) {}

    // Fills the preview from `facts`, in this order: position, background (gfx/preview.bmp
    // of the installation), choice of the icon file, the three title lines, the icon as the
    // package will hold it (PackageIcon); then, with a custom border, the border
    // (PackageBorder), and the window centred again at its new size.
    // Stops at the first picture that cannot be loaded and throws PreviewPictureError.
    void Load(const PreviewFacts& facts);

    // Load, with a failure shown through the view. Returns false when the preview must be
    // discarded (a half-filled preview would misrepresent the menu entry).
    bool LoadOrReport(const PreviewFacts& facts);

  private:
    PreviewView& view_;
};

}  // namespace pellix::app
