// The pieces both windows are made of: panels with an outline, picture boxes, transparent
// title labels, fonts by point size at a DPI, and control creation from design data.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace pellix::win32 {

// What kind of window a design entry becomes.
enum class Kind {
    Panel,     // a borderless frame of one colour with a one-pixel outline; holds controls
    Label,     // a static text, transparent over its container
    TextBox,   // a single-line edit box
    Button,    // a push button
    CheckBox,  // a check box without a caption of its own
    Picture,   // a picture box: draws its bitmap at its top-left corner, cut at its edges
    Title,     // a label drawn by the picture box it lies on (see PictureTitles)
};

// A font of the design.
struct FontSpec {
    const wchar_t* face = L"Microsoft Sans Serif";
    double points = 8.25;
    bool bold = false;
};

// One control of a window's design; positions and sizes in twips from its container.
struct ControlSpec {
    int id = 0;
    Kind kind = Kind::Label;
    int container = 0;  // id of the panel or picture box holding it, 0 for the window
    int left = 0, top = 0, width = 0, height = 0;
    std::wstring caption;
    FontSpec font;
    bool hidden = false;
    bool disabled = false;
    bool centred = false;  // labels: text centred
};

// Registers the window classes of Kind::Panel, Kind::Picture and Kind::Title once.
void RegisterControlClasses(HINSTANCE instance);

// Creates the controls of `specs` in order as children of `window` (or of their container),
// at `dpi`, each behind the ones made before it, and returns them by id.
std::map<int, HWND> CreateControls(HWND window, const std::vector<ControlSpec>& specs,
                                   unsigned dpi);

// Moves and resizes every control of `specs` to its design place at `dpi` and gives it the
// font of its spec from `fonts`. Heights and tops come from the spec as given.
class FontCache;
void PlaceControls(const std::map<int, HWND>& controls, const std::vector<ControlSpec>& specs,
                   unsigned dpi, FontCache& fonts);

// Fonts of the design at one DPI, made on first use and deleted with the cache.
class FontCache {
  public:
    FontCache() = default;
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;
    ~FontCache();
    // The font at `dpi`; a new DPI drops the fonts made for the old one (after the
    // controls have been given the new ones).
    HFONT Get(const FontSpec& spec, unsigned dpi);
    void DropOtherDpis(unsigned dpi);

  private:
    struct Key {
        std::wstring face;
        int centiPoints;
        bool bold;
        unsigned dpi;
        bool operator<(const Key& o) const;
    };
    std::map<Key, HFONT> fonts_;
};

// Panels: the fill and outline colours (set once per panel).
void SetPanelColours(HWND panel, COLORREF fill, COLORREF outline);

// Picture boxes: the bitmap drawn at the top-left corner, scaled by dpi/96 so that it keeps
// its designed size on the window (null: nothing drawn). The box takes ownership.
void SetPicture(HWND pictureBox, HBITMAP bitmap);
// The bitmap a picture box holds (null when none).
HBITMAP GetPicture(HWND pictureBox);

// A 32-bit top-down DIB section of the picture file at `path` (bitmap or PNG), read with
// the project's picture reader. Throws std::runtime_error naming the file and the reason.
HBITMAP LoadPictureFile(const std::string& path);
// A bitmap resource of the program (null when it is missing).
HBITMAP LoadPictureResource(HINSTANCE instance, int id);

// The window class names, for the tests that look for them.
extern const wchar_t kPanelClass[];
extern const wchar_t kPictureClass[];
extern const wchar_t kTitleClass[];

}  // namespace pellix::win32
