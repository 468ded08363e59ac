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

#include <string>

#include "window_layout.h"

namespace pellix::app {

// What the preview reads from the main window, once, when it loads.
struct PreviewFacts {
    TwipsRectF mainOuter;          // the main window's outer position and size, in twips
    std::string customizeCaption;  // caption of cmdCustomize ("-" while the panel is open)
    std::string iconText;          // text of txtIcon, as typed
    std::string titles[3];         // text of txtTitle1..3
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

// The message for a picture that cannot be loaded.
std::string PictureLoadMessage(const std::string& path, const std::string& reason);

class PreviewLogic {
  public:
    explicit PreviewLogic(PreviewView& view) : view_(view) {}

    // Fills the preview from `facts`, in this order: position, background (gfx/preview.bmp
    // of the installation), choice of the icon file, the three title lines, the icon.
    // Stops at the first picture that cannot be loaded and throws PreviewPictureError.
    void Load(const PreviewFacts& facts);

    // Load, with a failure shown through the view. Returns false when the preview must be
    // discarded (a half-filled preview would misrepresent the menu entry).
    bool LoadOrReport(const PreviewFacts& facts);

  private:
    PreviewView& view_;
};

}  // namespace pellix::app
