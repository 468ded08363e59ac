// The designed layout of both windows as data: every control's kind, place, caption, font,
// colours and start state, shared by every front end so the windows look the same on each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellix::app {

// Design units: twips, 1/1440 inch. One pixel at 96 dots per inch is 15 twips.
constexpr int kTwipsPerInch = 1440;
constexpr int kTwipsPerPixelAt96Dpi = 15;

// `twips` in pixels at `dpi` dots per inch, rounded to the nearest pixel (halves away from
// zero). Every value of the design is a whole number of pixels at 96 dpi.
int TwipsToPixels(int twips, int dpi = 96);
// The same for a position that may hold halves (the preview's centred place), in floating point.
double TwipsToPixelsF(double twips, int dpi = 96);
double PixelsToTwipsF(double pixels, int dpi = 96);

// A control's place in twips, measured from the top-left corner of its container.
struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const TwipsRect& a, const TwipsRect& b) {
        return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
    }
};

// A position and size in twips that may hold fractions (outer window geometry).
struct TwipsRectF {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// A size and a point in twips that may hold fractions.
struct TwipsSizeF {
    double width = 0;
    double height = 0;
};
struct TwipsPointF {
    double x = 0;
    double y = 0;
};

// A colour of the design. System means the platform's own colour for that part (a button's
// face, the dialog background); Transparent means the container shows through.
struct Colour {
    enum Kind : std::uint8_t { System, Transparent, Rgb };
    Kind kind = System;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    static constexpr Colour Of(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return Colour{Rgb, r, g, b};
    }
    friend bool operator==(const Colour& a, const Colour& b) {
        return a.kind == b.kind && a.red == b.red && a.green == b.green && a.blue == b.blue;
    }
};

// A font of the design. Where the face is missing the front end takes the nearest
// equivalent at the same size ("MS Sans Serif" and "Arial" both fall back to a sans serif).
struct FontDesign {
    const char* face = "MS Sans Serif";
    double points = 8.25;
    bool bold = false;
};

// The value of a check box; the design's numbers are kept for the build's settings.
enum class Check { Unchecked = 0, Checked = 1, Greyed = 2 };

enum class ControlKind {
    PictureBox,  // draws its picture at its top-left corner, unscaled, cut at its edges
    Frame,       // a borderless, captionless panel that holds other controls
    Shape,       // a one-line rectangle outline in the fore colour, not filled, deaf to the mouse
    Label,       // static text, no focus
    TextBox,     // single-line, editable, no length limit
    Button,      // push button; none is the default (Enter) or cancel (Esc) button
    CheckBox,    // no caption of its own; its value is a Check
};

// Whether controls of this kind take the keyboard focus (text boxes, buttons, check boxes).
bool TakesFocus(ControlKind kind);

enum class TextAlign { Left, Centre };

// Containers: the id of the frame or picture box holding a control, or kWindow.
constexpr int kWindow = -1;
// Tab index of controls that have none (shapes).
constexpr int kNoTabIndex = -1;

// One control of a window's design.
struct ControlDesign {
    int id;            // the MainControl or PreviewControl value, equal to the row's index
    const char* name;  // the control's name in code (also the Qt objectName)
    ControlKind kind;
    int container;        // id of the holding control, or kWindow
    const char* caption;  // caption or start text, UTF-8; "" for none
    TwipsRect rect;       // start place in twips, relative to the container
    int tabIndex;         // keyboard order among focusable controls; kNoTabIndex for shapes
    FontDesign font;      // the window's default font for controls that name none
    Colour back;          // background (panel colour, text box colour, Transparent, System)
    Colour fore;          // text colour; a shape's outline colour
    bool visible;         // at start
    bool enabled;         // at start
    Check checkValue;     // check boxes: start value; Unchecked for other kinds
    TextAlign align;      // labels: how the caption sits in the box (top-aligned always)
    bool wordWrap;        // labels: wrap over several lines instead of cutting off
    const char* picture;  // picture boxes: the artwork file of assets/window, or nullptr
};

// One window of the design. Rows are in stacking order, back to front: a front end that
// creates them in this order puts the controls that belong to the window above the frames
// and banners they lie over.
struct WindowDesign {
    const char* name;     // frmPellix, frmPreview
    const char* caption;  // title bar text
    int clientWidth;      // client area at start, twips
    int clientHeight;
    Colour back;      // window background
    FontDesign font;  // default font of the controls
    bool sizable;     // sizing border
    bool minimizeButton;
    bool maximizeButton;
    bool taskbarButton;  // whether it has a taskbar button of its own (the preview has none)
    const char* icon;    // artwork file of the window icon (assets/window); its background
                         // colour iconTransparent is shown see-through
    Colour iconTransparent;
    const ControlDesign* controls;
    std::size_t controlCount;
};

// Controls of the main window, in the order of its rows.
enum class MainControl {
    topBanner,
    fraGame,
    gameOutline,
    romLabel,
    romHint,
    outputLabel,
    fraName,
    nameOutline,
    titleLabel,
    psramLabel,
    compressionLabel,
    chkCompression,
    fraCustom,
    customOutline,
    customHint,
    iconLabel,
    txtIcon,
    cmdBrowseIcon,
    iconHint,
    borderLabel,
    txtBorder,
    cmdBrowseBorder,
    borderHint,
    bottomBanner,
    txtROM,
    cmdBrowseROM,
    txtOutput,
    cmdBrowseFolder,
    txtTitle1,
    txtTitle2,
    txtTitle3,
    chkPSRAM,
    cmdCustomize,
    cmdPreview,
    cmdGo,
    Count
};

// Controls of the preview window, in the order of its rows.
// picBorder lies below the designed window and stays hidden unless the preview shows a
// custom border (LoadPreview).
enum class PreviewControl {
    picBG,
    lblTitle1,
    lblTitle2,
    lblTitle3,
    picIcon,
    note,
    cmdClose,
    picBorder,
    Count
};

const WindowDesign& MainWindowDesign();
const WindowDesign& PreviewWindowDesign();

// The row of one control.
const ControlDesign& Design(MainControl control);
const ControlDesign& Design(PreviewControl control);

// Ids of the controls that take the focus, in tab order (rising tab index).
std::vector<int> TabOrder(const WindowDesign& window);
// The control that has the focus when the window starts: the first of TabOrder that is
// visible and enabled at start, with its containers visible; kWindow when there is none.
int StartFocus(const WindowDesign& window);

// What a screen reader says for a control: the design fixes only what is drawn, and a
// caption-less check box, a text box beside a label of another container or three buttons
// all called "Browse..." say nothing useful by themselves.
struct SpokenControl {
    // The control's name; "" where its caption names it (it may change: "(+)" and "(-)").
    std::string name;
    // The notes drawn beside the control, read after its name; "" for none.
    std::string description;
    // The label that shows the name beside the control (a Qt buddy), or kWindow for none.
    int label = kWindow;
};
SpokenControl Spoken(const WindowDesign& window, int id);

// The design's non-client area of the main window (title bar included), in twips.
constexpr int kMainFrameAbove = 465;
constexpr int kMainFrameBelow = 60;

// The values the customisation panel switches between.
struct PanelLayout {
    int goTop;            // top of cmdGo
    int bottomBannerTop;  // top of bottomBanner
    int customHeight;     // height of fraCustom and customOutline
    int outerHeight;      // outer height of the main window (design's title bar and borders)
    int clientHeight;     // the client height that outer height gives with the design's frame
    const char* caption;  // caption of cmdCustomize
    bool noteShown;       // customHint
};
extern const PanelLayout kPanelFolded;    // the start layout
extern const PanelLayout kPanelUnfolded;  // the panel open

// The preview showing a custom border: picBorder holds the DS's top screen (256 x 192
// pixels), the GBA's 240 x 160 game area in its middle is outlined, the client area grows
// to take it, and the design's note that borders are not shown is hidden.
extern const TwipsRect kBorderGameArea;  // the game area, relative to picBorder
extern const int kPreviewBorderClientWidth;
extern const int kPreviewBorderClientHeight;
extern const Colour kGameAreaOutline;

// Texts of the windows (UTF-8).
extern const char kMainCaption[];     // "Quillmere v1.2.1 GUI (by Fennbrook)"
extern const char kPreviewCaption[];  // "Preview Customisations"
extern const char kMessageCaption[];  // caption of every message box: "Quillmere"

}  // namespace pellix::app
