// What the preview window decides: its life (one at a time, brought forward, discarded after
// a failed load, forgotten when closed), where it opens, and every picture it shows, decoded
// and composed here so that each front end draws the same pixels and says the same things.
//
// For a front-end writer: implement PreviewView over a window built hidden from
// PreviewWindowDesign(), and make MainWindowView::CreatePreview return a new one. The logic
// fills it, then shows it, brings it forward when "Preview NDS..." is pressed again, or
// discards it when a picture cannot be loaded (the main window then shows the message). Call
// the `unloaded` function you were given once, when the window is closed or destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/window_layout.h"

namespace pellix::app {

// What the preview reads from the main window, once, when it loads.
struct PreviewFacts {
    TwipsRectF mainOuter;          // the main window's outer position and size, in twips
    std::string customizeCaption;  // caption of cmdCustomize ("-" while the panel is open)
    std::string iconText;          // text of txtIcon, as typed
    std::string titles[3];         // text of txtTitle1..3
    std::string borderText;        // text of txtBorder, as typed
};

// Pixels for a picture box: rows top-down, four bytes a pixel (red, green, blue, alpha),
// alpha 0 where whatever lies beneath the box shows through and 255 elsewhere.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* At(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    }
};

// The preview window as its logic sees it. Strings are UTF-8.
class PreviewView {
  public:
    virtual ~PreviewView() = default;
    // The preview's outer size (its client area plus its frame), in twips.
    virtual TwipsSizeF OuterSize() = 0;
    // Moves the window's outer top-left corner; the front end rounds only here.
    virtual void MoveTo(double leftTwips, double topTwips) = 0;
    // Draws `image` in a picture box at its corner, one image pixel to 15 twips, cut at the
    // box's edges.
    virtual void SetPicture(PreviewControl box, const Image& image) = 0;
    virtual void SetText(PreviewControl label, const std::string& text) = 0;
    // Draws a label's text in `colour` from now on (a title line the DS cuts).
    virtual void SetTextColour(PreviewControl label, const Colour& colour) = 0;
    // Names a picture for a screen reader by what it shows.
    virtual void SetAccessibleName(PreviewControl box, const std::string& name) = 0;
    virtual void SetVisible(PreviewControl control, bool visible) = 0;
    // Sets the client area's size (twips), keeping the frame.
    virtual void SetClientSize(int widthTwips, int heightTwips) = 0;
    // Shows the filled window modeless, with no owner.
    virtual void Show() = 0;
    // Brings the shown window to the front.
    virtual void BringForward() = 0;
    // Destroys the window, never shown (its load failed).
    virtual void Discard() = 0;
};

// A picture the preview could not load; what() is what the user is shown.
class PreviewPictureError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The colour of a title line wider than the DS menu's title area, which the DS cuts.
constexpr Colour kCutTitleColour = Colour::Of(204, 0, 0);

// The message for a picture that cannot be loaded.
std::string PictureLoadMessage(const std::string& path, const std::string& reason);

// The preview's outer top-left corner: centred over the main window's outer frame, computed
// in floating point and not pulled back onto the screen.
TwipsPointF PreviewPosition(const TwipsRectF& mainOuter, const TwipsSizeF& previewOuter);

// The icon file the preview shows: the text of txtIcon when the panel is open (the caption
// holds a "-") and a file exists there, else `appDir`/gfx/icon.bmp. Both tests are made.
std::string PreviewIconFile(const std::string& customizeCaption, const std::string& iconText,
                            const std::string& appDir);

// The custom border the package holds when built with the panel open and `borderText`
// naming an existing file; none (false) otherwise, as for the build.
bool CustomBorderFile(const std::string& customizeCaption, const std::string& borderText);

// A picture file as it is, whatever its kind (bitmap, PNG, JPEG, GIF). Throws
// PreviewPictureError naming the file and the reason when it cannot be read.
Image ReadPreviewPicture(const std::string& path);

// The 32 x 32 icon the package holds when built with `iconFile`, as the DS menu shows it:
// the file itself when it already is a DS icon, else its conversion. Throws
// PreviewPictureError naming the file.
Image PackageIcon(const std::string& iconFile);

// `icon` with its clear pixels taken from `background` where the background lies beneath
// them (the icon's corner `dx`, `dy` pixels from the background's); clear elsewhere.
Image IconOverBackground(const Image& icon, const Image& background, int dx, int dy);

// The DS's top screen a border file gives (256 x 192, at the DS's 5-bit colour): the picture
// itself at that size, else its conversion (scaled to cover, centred, cropped). Throws
// PreviewPictureError naming the file.
Image PackageBorder(const std::string& borderFile);

// The top screen with the GBA's game area (kBorderGameArea) outlined just outside its edge
// in kGameAreaOutline, on the border the player sees.
Image TopScreenWithGameArea(const Image& border);

// Fills a new preview from `facts`, in this order: position, background (gfx/preview.bmp of
// the installation), choice of the icon file, the three title lines (each that the DS cuts
// in kCutTitleColour, and said to be cut to a screen reader), the icon as the package
// will hold it over the background; then, with a custom border, the top screen, the note
// hidden, the window grown and centred again at its new size. Each picture is named by what
// it shows, in words (the entry by its title lines and icon). Stops at the first picture
// that cannot be loaded and throws PreviewPictureError.
void LoadPreview(PreviewView& view, const PreviewFacts& facts);

// The run's one preview window.
class PreviewSlot {
  public:
    // Makes a hidden, designed, empty preview window. The front end calls `unloaded` once
    // when that window is closed or destroyed; the slot then no longer touches it.
    using Factory = std::function<PreviewView*(std::function<void()> unloaded)>;

    explicit PreviewSlot(Factory factory);
    ~PreviewSlot();
    PreviewSlot(const PreviewSlot&) = delete;
    PreviewSlot& operator=(const PreviewSlot&) = delete;

    // "Preview NDS...": when a preview is loaded, brings it forward and reads nothing; else
    // makes one, loads it (LoadPreview) and shows it. A load that fails discards the window
    // (a half-filled preview would misrepresent the menu entry) and throws
    // PreviewPictureError; the next press tries afresh.
    void Open(const PreviewFacts& facts);

    // The loaded preview, or null.
    PreviewView* Current() const { return *current_; }

  private:
    Factory factory_;
    // Shared with the unload callbacks, which may outlive the slot.
    std::shared_ptr<PreviewView*> current_;
};

}  // namespace pellix::app
