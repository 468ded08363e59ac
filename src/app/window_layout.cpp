// The two windows' designs as tables, and the rules derived from them (tab order, start focus).
#include "app/window_layout.h"

#include <algorithm>
#include <cmath>

namespace pellix::app {

namespace {

constexpr Colour kSystem{};
constexpr Colour kClear{Colour::Transparent};
constexpr Colour kWindowBack = Colour::Of(195, 246, 246);
constexpr Colour kPanelBack = Colour::Of(0, 224, 224);
constexpr Colour kTextBoxBack = Colour::Of(0, 128, 128);
constexpr Colour kTextBoxText = Colour::Of(255, 255, 255);
constexpr Colour kLabelText = Colour::Of(0, 128, 128);
constexpr Colour kOutline = Colour::Of(0, 128, 128);
constexpr Colour kBlack = Colour::Of(0, 0, 0);
constexpr Colour kNotePurple = Colour::Of(192, 0, 192);

constexpr FontDesign kSansSerif{"MS Sans Serif", 8.25, false};
constexpr FontDesign kArial{"Arial", 8.25, false};
constexpr FontDesign kArialSmall{"Arial", 6.75, false};
constexpr FontDesign kArialGo{"Arial", 9.75, true};

constexpr int W = kWindow;
constexpr int kGame = static_cast<int>(MainControl::fraGame);
constexpr int kName = static_cast<int>(MainControl::fraName);
constexpr int kCustom = static_cast<int>(MainControl::fraCustom);
constexpr int kBG = static_cast<int>(PreviewControl::picBG);

using K = ControlKind;
using A = TextAlign;
constexpr Check U = Check::Unchecked;
constexpr Check C = Check::Checked;
constexpr Check G = Check::Greyed;

#define M(id) static_cast<int>(MainControl::id), #id
#define P(id) static_cast<int>(PreviewControl::id), #id

// clang-format off
// id/name, kind, container, caption, {left, top, width, height}, tab index, font, back, fore,
// visible, enabled, check value, alignment, word wrap, picture
const ControlDesign kMainControls[] = {
    {M(topBanner), K::PictureBox, W, "", {0, 0, 8685, 855}, 26, kSansSerif, kSystem, kSystem, true, true, U, A::Left, false, "top_banner.bmp"},
    {M(fraGame), K::Frame, W, "", {720, 960, 7095, 1215}, 0, kSansSerif, kPanelBack, kSystem, true, true, U, A::Left, false, nullptr},
    {M(gameOutline), K::Shape, kGame, "", {0, 0, 7095, 1215}, kNoTabIndex, kSansSerif, kClear, kOutline, true, true, U, A::Left, false, nullptr},
    {M(romLabel), K::Label, kGame, "GBA ROM File:", {120, 240, 1215, 255}, 2, kArial, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(romHint), K::Label, kGame, "Put a GBA file here.", {1440, 540, 3975, 255}, 22, kArialSmall, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(outputLabel), K::Label, kGame, "Output Folder:", {120, 720, 1215, 255}, 3, kArial, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(fraName), K::Frame, W, "", {720, 2400, 7095, 1935}, 1, kSansSerif, kPanelBack, kSystem, true, true, U, A::Left, false, nullptr},
    {M(nameOutline), K::Shape, kName, "", {0, 0, 7095, 1935}, kNoTabIndex, kSansSerif, kClear, kOutline, true, true, U, A::Left, false, nullptr},
    {M(titleLabel), K::Label, kName, "Game Title:", {120, 240, 1095, 255}, 6, kArial, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(psramLabel), K::Label, kName, "Use PSRAM:", {120, 1620, 1095, 255}, 28, kArial, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(compressionLabel), K::Label, kName, "Use Compression:", {2400, 1620, 1455, 255}, 30, kArial, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(chkCompression), K::CheckBox, kName, "", {3960, 1620, 255, 255}, 31, kSansSerif, kPanelBack, kSystem, true, true, C, A::Left, false, nullptr},
    {M(fraCustom), K::Frame, W, "", {720, 4560, 7095, 495}, 10, kSansSerif, kPanelBack, kSystem, true, true, U, A::Left, false, nullptr},
    {M(customOutline), K::Shape, kCustom, "", {0, 0, 7095, 495}, kNoTabIndex, kSansSerif, kClear, kOutline, true, true, U, A::Left, false, nullptr},
    {M(customHint), K::Label, kCustom, "Leave textboxes blank for default/original pictures.", {120, 420, 3975, 255}, 25, kArialSmall, kClear, kLabelText, false, true, U, A::Left, false, nullptr},
    {M(iconLabel), K::Label, kCustom, "Icon:", {240, 720, 495, 255}, 14, kArial, kClear, kBlack, true, true, U, A::Left, false, nullptr},
    {M(txtIcon), K::TextBox, kCustom, "", {1320, 720, 4215, 285}, 16, kSansSerif, kTextBoxBack, kTextBoxText, true, true, U, A::Left, false, nullptr},
    {M(cmdBrowseIcon), K::Button, kCustom, "Browse...", {5640, 720, 1215, 255}, 20, kArial, kSystem, kSystem, true, true, U, A::Left, false, nullptr},
    {M(iconHint), K::Label, kCustom, "The icon - 32x32, 4 bit color", {1440, 1020, 3975, 255}, 23, kArialSmall, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(borderLabel), K::Label, kCustom, "Border:", {240, 1200, 855, 255}, 15, kArial, kClear, kBlack, true, true, U, A::Left, false, nullptr},
    {M(txtBorder), K::TextBox, kCustom, "", {1320, 1200, 4215, 285}, 17, kSansSerif, kTextBoxBack, kTextBoxText, true, true, U, A::Left, false, nullptr},
    {M(cmdBrowseBorder), K::Button, kCustom, "Browse...", {5640, 1200, 1215, 255}, 21, kArial, kSystem, kSystem, true, true, U, A::Left, false, nullptr},
    {M(borderHint), K::Label, kCustom, "The border image - 256x192, 24 bit color", {1440, 1500, 3975, 255}, 24, kArialSmall, kClear, kLabelText, true, true, U, A::Left, false, nullptr},
    {M(bottomBanner), K::PictureBox, W, "", {0, 5160, 8685, 855}, 27, kSansSerif, kSystem, kSystem, true, true, U, A::Left, false, "bottom_banner.bmp"},
    {M(txtROM), K::TextBox, W, "", {2040, 1200, 4215, 285}, 4, kSansSerif, kTextBoxBack, kTextBoxText, true, true, U, A::Left, false, nullptr},
    {M(cmdBrowseROM), K::Button, W, "Browse...", {6360, 1200, 1215, 255}, 18, kArial, kSystem, kSystem, true, true, U, A::Left, false, nullptr},
    {M(txtOutput), K::TextBox, W, "", {2040, 1680, 4215, 285}, 5, kSansSerif, kTextBoxBack, kTextBoxText, true, true, U, A::Left, false, nullptr},
    {M(cmdBrowseFolder), K::Button, W, "Select...", {6360, 1680, 1215, 255}, 19, kArial, kSystem, kSystem, true, true, U, A::Left, false, nullptr},
    {M(txtTitle1), K::TextBox, W, "", {2040, 2640, 4215, 285}, 7, kSansSerif, kTextBoxBack, kTextBoxText, true, true, U, A::Left, false, nullptr},
    {M(txtTitle2), K::TextBox, W, "", {2040, 3120, 4215, 285}, 8, kSansSerif, kTextBoxBack, kTextBoxText, true, true, U, A::Left, false, nullptr},
    {M(txtTitle3), K::TextBox, W, "", {2040, 3600, 4215, 285}, 9, kSansSerif, kTextBoxBack, kTextBoxText, true, true, U, A::Left, false, nullptr},
    {M(chkPSRAM), K::CheckBox, W, "", {2040, 4020, 255, 255}, 29, kSansSerif, kPanelBack, kSystem, true, true, C, A::Left, false, nullptr},
    {M(cmdCustomize), K::Button, W, "Customize the NDS (+)", {840, 4680, 2295, 255}, 12, kArial, kSystem, kSystem, true, true, U, A::Left, false, nullptr},
    {M(cmdPreview), K::Button, W, "Preview NDS...", {5880, 4680, 1815, 255}, 11, kArial, kSystem, kSystem, true, true, U, A::Left, false, nullptr},
    {M(cmdGo), K::Button, W, "Go...", {3000, 5400, 2415, 495}, 13, kArialGo, kSystem, kSystem, true, false, U, A::Left, false, nullptr},
};

const ControlDesign kPreviewControls[] = {
    {P(picBG), K::PictureBox, W, "", {120, 120, 2865, 705}, 0, kSansSerif, kSystem, kSystem, true, true, U, A::Left, false, "preview_placeholder.bmp"},
    {P(lblTitle1), K::Label, kBG, "", {840, 60, 1935, 255}, 2, kSansSerif, kClear, kSystem, true, true, U, A::Centre, false, nullptr},
    {P(lblTitle2), K::Label, kBG, "", {840, 240, 1935, 255}, 3, kSansSerif, kClear, kSystem, true, true, U, A::Centre, false, nullptr},
    {P(lblTitle3), K::Label, kBG, "", {840, 420, 1935, 255}, 4, kSansSerif, kClear, kSystem, true, true, U, A::Centre, false, nullptr},
    {P(picIcon), K::PictureBox, W, "", {225, 210, 480, 480}, 1, kSansSerif, kClear, kSystem, true, true, U, A::Left, false, nullptr},
    {P(note), K::Label, W, "NOTE: Border customisations aren't shown.", {240, 960, 1095, 615}, 5, kSansSerif, kClear, kNotePurple, true, true, U, A::Left, true, nullptr},
    {P(cmdClose), K::Button, W, "Close", {1680, 1080, 1215, 375}, 6, kSansSerif, kSystem, kSystem, true, true, U, A::Left, false, nullptr},
    {P(picBorder), K::PictureBox, W, "", {120, 1695, 3840, 2880}, 7, kSansSerif, kSystem, kSystem, false, true, U, A::Left, false, nullptr},
};
// clang-format on

#undef M
#undef P

// What the controls say beyond their captions: the name, the label that shows it, and the
// notes drawn beside the control, nearest first. Controls without a row are named by their
// captions.
struct SpokenRow {
    int id;
    const char* name;
    int label;
    int notes[2];
};

#define C(id) static_cast<int>(MainControl::id)
constexpr int kNone = kWindow;

// clang-format off
const SpokenRow kMainSpoken[] = {
    {C(txtROM), "GBA ROM file", C(romLabel), {C(romHint), kNone}},
    {C(cmdBrowseROM), "Browse for the GBA ROM file", kNone, {kNone, kNone}},
    {C(txtOutput), "Output folder", C(outputLabel), {kNone, kNone}},
    {C(cmdBrowseFolder), "Select the output folder", kNone, {kNone, kNone}},
    {C(txtTitle1), "Game title, line 1", C(titleLabel), {kNone, kNone}},
    {C(txtTitle2), "Game title, line 2", kNone, {kNone, kNone}},
    {C(txtTitle3), "Game title, line 3", kNone, {kNone, kNone}},
    {C(chkPSRAM), "Use PSRAM", C(psramLabel), {kNone, kNone}},
    {C(chkCompression), "Use compression", C(compressionLabel), {kNone, kNone}},
    {C(txtIcon), "Icon", C(iconLabel), {C(iconHint), C(customHint)}},
    {C(cmdBrowseIcon), "Browse for the icon", kNone, {kNone, kNone}},
    {C(txtBorder), "Border", C(borderLabel), {C(borderHint), C(customHint)}},
    {C(cmdBrowseBorder), "Browse for the border", kNone, {kNone, kNone}},
};
// clang-format on

#undef C

const WindowDesign kMainWindow{"frmPellix",
                               kMainCaption,
                               8535,
                               6015,
                               kWindowBack,
                               kSansSerif,
                               /*sizable=*/true,
                               /*minimizeButton=*/true,
                               /*maximizeButton=*/false,
                               /*taskbarButton=*/true,
                               "icon.bmp",
                               kWindowBack,
                               kMainControls,
                               std::size(kMainControls)};

const WindowDesign kPreviewWindow{"frmPreview",
                                  kPreviewCaption,
                                  3135,
                                  1695,
                                  kSystem,
                                  kSansSerif,
                                  /*sizable=*/false,
                                  /*minimizeButton=*/false,
                                  /*maximizeButton=*/false,
                                  /*taskbarButton=*/false,
                                  "icon.bmp",
                                  kWindowBack,
                                  kPreviewControls,
                                  std::size(kPreviewControls)};

static_assert(std::size(kMainControls) == static_cast<std::size_t>(MainControl::Count));
static_assert(std::size(kPreviewControls) == static_cast<std::size_t>(PreviewControl::Count));

// Whether the control and every container above it are visible at start.
bool ShownAtStart(const WindowDesign& window, int id) {
    for (; id != kWindow; id = window.controls[id].container) {
        if (!window.controls[id].visible) return false;
    }
    return true;
}

// Notes are read one after another; one without an end of its own gets a full stop.
void AppendNote(std::string& description, const char* note) {
    if (!description.empty()) {
        const char last = description.back();
        if (last != '.' && last != '!' && last != '?') description += '.';
        description += ' ';
    }
    description += note;
}

}  // namespace

const char kMainCaption[] = "Quillmere v1.2.1 GUI (by Fennbrook)";
const char kPreviewCaption[] = "Preview Customisations";
const char kMessageCaption[] = "Quillmere";

const PanelLayout kPanelFolded{5400, 5160, 495, 6540, 6015, "Customize the NDS (+)", false};
const PanelLayout kPanelUnfolded{6720, 6510, 1695, 7890, 7365, "Customize the NDS (-)", true};

const TwipsRect kBorderGameArea{120, 240, 3600, 2400};
const int kPreviewBorderClientWidth = 4080;
const int kPreviewBorderClientHeight = 4695;
const Colour kGameAreaOutline = Colour::Of(255, 0, 255);

int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(TwipsToPixelsF(twips, dpi)));
}

double TwipsToPixelsF(double twips, int dpi) {
    return twips * dpi / kTwipsPerInch;
}

double PixelsToTwipsF(double pixels, int dpi) {
    return pixels * kTwipsPerInch / dpi;
}

bool TakesFocus(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::Button ||
           kind == ControlKind::CheckBox;
}

const WindowDesign& MainWindowDesign() {
    return kMainWindow;
}
const WindowDesign& PreviewWindowDesign() {
    return kPreviewWindow;
}

const ControlDesign& Design(MainControl control) {
    return kMainControls[static_cast<std::size_t>(control)];
}
const ControlDesign& Design(PreviewControl control) {
    return kPreviewControls[static_cast<std::size_t>(control)];
}

std::vector<int> TabOrder(const WindowDesign& window) {
    std::vector<const ControlDesign*> focusable;
    for (std::size_t i = 0; i < window.controlCount; ++i) {
        if (TakesFocus(window.controls[i].kind)) focusable.push_back(&window.controls[i]);
    }
    std::stable_sort(
        focusable.begin(), focusable.end(),
        [](const ControlDesign* a, const ControlDesign* b) { return a->tabIndex < b->tabIndex; });
    std::vector<int> ids;
    for (const ControlDesign* control : focusable) ids.push_back(control->id);
    return ids;
}

int StartFocus(const WindowDesign& window) {
    for (int id : TabOrder(window)) {
        if (window.controls[id].enabled && ShownAtStart(window, id)) return id;
    }
    return kWindow;
}

SpokenControl Spoken(const WindowDesign& window, int id) {
    SpokenControl spoken;
    // The preview's only focusable control, "Close", is named by its caption, and its
    // pictures by what they show (LoadPreview).
    if (&window != &kMainWindow) return spoken;
    for (const SpokenRow& row : kMainSpoken) {
        if (row.id != id) continue;
        spoken.name = row.name;
        spoken.label = row.label;
        for (int note : row.notes)
            if (note != kNone) AppendNote(spoken.description, window.controls[note].caption);
    }
    return spoken;
}

}  // namespace pellix::app
