// A top-level window made from a design of window_layout.h: its controls at the monitor's
// DPI, their fonts and colours, keyboard order, and the relayout when the DPI changes.
#include "win32/design_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "win32/accessible_text.h"
#include "win32/dpi.h"
#include "win32/event_pump.h"
#include "win32/resource.h"
#include "system/text.h"

namespace pellix::win32 {

const wchar_t kMainWindowClass[] = L"PellixMainWindow";
const wchar_t kPreviewWindowClass[] = L"PellixPreviewWindow";

namespace {

int g_liveWindows = 0;

using app::ControlKind;

// The artwork a design names, compiled into the program as bitmap resources at 1x and 2x.
struct Artwork {
    const char* file;
    int once, twice;
};
constexpr Artwork kArtwork[] = {
    {"top_banner.bmp", IDB_TOP_BANNER, IDB_TOP_BANNER_2X},
    {"bottom_banner.bmp", IDB_BOTTOM_BANNER, IDB_BOTTOM_BANNER_2X},
    {"preview_placeholder.bmp", IDB_PREVIEW_PLACEHOLDER, IDB_PREVIEW_PLACEHOLDER_2X},
};

void SetArtwork(HWND box, const char* file, unsigned dpi) {
    int density = 1;
    if (HBITMAP bitmap = LoadArtwork(file, dpi, density)) SetPicture(box, bitmap, density);
}

// A check box without a caption draws no focus rectangle (the system draws it around the
// caption); this one draws it around the box, so the keyboard's place is always seen.
LRESULT CALLBACK FocusedCheckBox(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::InvalidateRect(box, nullptr, TRUE);
            break;
        case WM_PAINT: {
            const LRESULT result = ::DefSubclassProc(box, message, wParam, lParam);
            if (::GetFocus() == box) {
                HDC dc = ::GetDC(box);
                RECT client{};
                ::GetClientRect(box, &client);
                ::SetTextColor(dc, RGB(0, 0, 0));
                ::SetBkColor(dc, RGB(255, 255, 255));
                ::DrawFocusRect(dc, &client);
                ::ReleaseDC(box, dc);
            }
            return result;
        }
        default:
            break;
    }
    return ::DefSubclassProc(box, message, wParam, lParam);
}

HICON LoadProgramIcon(HINSTANCE instance, int metric, unsigned dpi) {
    const int size = SystemMetric(metric, dpi);
    return static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_PELLIX), IMAGE_ICON, size, size, 0));
}

}  // namespace

HBITMAP LoadArtwork(const char* file, unsigned dpi, int& density) {
    if (file == nullptr) return nullptr;
    for (const Artwork& art : kArtwork) {
        if (std::strcmp(file, art.file) != 0) continue;
        // Shrinking the 2x drawing stays sharp where stretching the 1x one goes soft.
        density = dpi > kBaseDpi ? 2 : 1;
        return static_cast<HBITMAP>(::LoadImageW(
            ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(density == 2 ? art.twice : art.once),
            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    }
    return nullptr;
}

std::wstring Wide(const std::string& text) {
    return win::ToWide(text, true);
}

DesignWindow::DesignWindow(const app::WindowDesign& design, int idBase)
    : design_(design),
      idBase_(idBase),
      controls_(design.controlCount, nullptr),
      visible_(design.controlCount, true) {
    for (std::size_t i = 0; i < design.controlCount; ++i) {
        rects_.push_back(design.controls[i].rect);
        visible_[i] = design.controls[i].visible;
        fore_.push_back(design.controls[i].fore);
    }
}

DesignWindow::~DesignWindow() {
    if (hwnd_ != nullptr) {
        ForgetSpokenText();
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
    if (bigIcon_ != nullptr) ::DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
}

int DesignWindow::LiveWindows() {
    return g_liveWindows;
}

HWND DesignWindow::Control(int id) const {
    return id >= 0 && static_cast<std::size_t>(id) < controls_.size() ? controls_[id] : nullptr;
}

void DesignWindow::Create(const wchar_t* className, DWORD style, DWORD exStyle, HWND owner) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RegisterControlClasses(instance);
    WNDCLASSEXW wc{};
    if (!::GetClassInfoExW(instance, className, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_PELLIX));
        wc.lpszClassName = className;
        ::RegisterClassExW(&wc);
    }
    // Made at the system's DPI first; the size is set once the window knows its monitor.
    hwnd_ =
        ::CreateWindowExW(exStyle, className, Wide(design_.caption).c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, 100, 100, owner, nullptr, instance, this);
    if (hwnd_ == nullptr)
        throw std::runtime_error("cannot create the window: " + win::ErrorReason(::GetLastError()));
    dpi_ = WindowDpi(hwnd_);
    const SIZE outer = OuterSize(app::TwipsToPixels(design_.clientWidth, static_cast<int>(dpi_)),
                                 app::TwipsToPixels(design_.clientHeight, static_cast<int>(dpi_)),
                                 style, exStyle, dpi_);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    bigIcon_ = LoadProgramIcon(instance, SM_CXICON, dpi_);
    smallIcon_ = LoadProgramIcon(instance, SM_CXSMICON, dpi_);
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    CreateControls();
    Relayout();
    // Focus cues are shown from the start, not only once the keyboard has been used.
    ::SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);

    std::vector<HWND> order;
    for (int id : app::TabOrder(design_)) order.push_back(controls_[static_cast<std::size_t>(id)]);
    SetNavigation(hwnd_, std::move(order));
}

HWND DesignWindow::ContainerWindow(int id) const {
    const int container = Row(id).container;
    return container == app::kWindow ? hwnd_ : controls_[static_cast<std::size_t>(container)];
}

void DesignWindow::CreateControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    for (std::size_t i = 0; i < design_.controlCount; ++i) {
        const int id = static_cast<int>(i);
        const app::ControlDesign& row = Row(id);
        if (row.kind == ControlKind::Shape) continue;  // drawn by its frame
        HWND parent = ContainerWindow(id);
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        const wchar_t* className = L"STATIC";
        switch (row.kind) {
            case ControlKind::Frame:
                className = kPanelClass;
                style |= WS_CLIPCHILDREN;
                exStyle |= WS_EX_CONTROLPARENT;
                break;
            case ControlKind::PictureBox:
                className = kPictureClass;
                break;
            case ControlKind::Label: {
                const bool overPicture = row.container != app::kWindow &&
                                         Row(row.container).kind == ControlKind::PictureBox;
                if (overPicture && row.back.kind == app::Colour::Transparent) {
                    // Drawn by the picture beneath, so nothing of its own covers the picture.
                    className = kTitleClass;
                } else {
                    style |= SS_NOPREFIX;
                    if (row.align == app::TextAlign::Centre)
                        style |= SS_CENTER;
                    else
                        style |= row.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
                }
                break;
            }
            case ControlKind::TextBox:
                className = L"EDIT";
                style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
                exStyle |= WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Button:
                className = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case ControlKind::CheckBox:
                // Three states, so the design's "greyed" value can be shown; a click moves
                // only between checked and unchecked (ToggleCheckBox).
                className = L"BUTTON";
                style |= WS_TABSTOP | BS_3STATE;
                break;
            case ControlKind::Shape:
                break;
        }
        if (row.visible) style |= WS_VISIBLE;
        if (!row.enabled) style |= WS_DISABLED;
        HWND control = ::CreateWindowExW(
            exStyle, className, Wide(row.caption).c_str(), style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(idBase_ + id)), instance, nullptr);
        if (control == nullptr)
            throw std::runtime_error(std::string("cannot create the control ") + row.name + ": " +
                                     win::ErrorReason(::GetLastError()));
        // Rows run back to front: each new control goes in front of those made before.
        ::SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        controls_[i] = control;
        if (row.kind == ControlKind::Frame) SetPanelFill(control, BackOf(id));
        if (row.kind == ControlKind::CheckBox) ::SetWindowSubclass(control, FocusedCheckBox, 1, 0);
        if (row.kind == ControlKind::CheckBox)
            ::SendMessageW(control, BM_SETCHECK,
                           row.checkValue == app::Check::Checked  ? BST_CHECKED
                           : row.checkValue == app::Check::Greyed ? BST_INDETERMINATE
                                                                  : BST_UNCHECKED,
                           0);
        SetArtwork(control, row.picture, dpi_);
    }
    // Names where neither a caption nor the child order gives one: the labels lie in the
    // panels, most controls in the window, and rows run back to front.
    for (std::size_t i = 0; i < design_.controlCount; ++i) {
        const app::SpokenControl spoken = app::Spoken(design_, static_cast<int>(i));
        if (!spoken.name.empty() || !spoken.description.empty())
            SetSpokenText(static_cast<int>(i), spoken.name, spoken.description);
    }
}

void DesignWindow::ForgetSpokenText() {
    // The controls still exist; their annotations go before they do.
    for (HWND control : spoken_) ClearAccessibleText(control);
    spoken_.clear();
}

void DesignWindow::SetSpokenText(int id, const std::string& name, const std::string& description) {
    HWND control = Control(id);
    if (control == nullptr) return;
    SetAccessibleText(control, name, description);
    if (std::find(spoken_.begin(), spoken_.end(), control) == spoken_.end())
        spoken_.push_back(control);
}

void DesignWindow::Relayout() {
    for (std::size_t i = 0; i < design_.controlCount; ++i)
        PlaceControl(static_cast<int>(i), rects_[i]);
    for (std::size_t i = 0; i < design_.controlCount; ++i) {
        const app::ControlDesign& row = design_.controls[i];
        if (controls_[i] == nullptr || row.kind == ControlKind::Frame ||
            row.kind == ControlKind::PictureBox)
            continue;
        const app::FontDesign& font = row.font.face != nullptr ? row.font : design_.font;
        ::SendMessageW(controls_[i], WM_SETFONT,
                       reinterpret_cast<WPARAM>(FittingFont(static_cast<int>(i), font)), TRUE);
    }
    fonts_.DropOtherDpis(dpi_);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

HFONT DesignWindow::FittingFont(int id, const app::FontDesign& font) {
    const app::ControlDesign& row = Row(id);
    HFONT made = fonts_.Get(font, dpi_);
    if (row.kind != ControlKind::Label || !row.wordWrap) return made;
    const RECT box = PixelRect(rects_[static_cast<std::size_t>(id)], dpi_);
    return FitWrappedText(fonts_, font, Wide(row.caption),
                          SIZE{box.right - box.left, box.bottom - box.top}, dpi_);
}

void DesignWindow::PlaceControl(int id, const app::TwipsRect& rect) {
    rects_[static_cast<std::size_t>(id)] = rect;
    const RECT r = PixelRect(rect, dpi_);
    const app::ControlDesign& row = Row(id);
    if (row.kind == ControlKind::Shape) {
        SetPanelOutline(ContainerWindow(id), id, r, ToColorRef(row.fore, RGB(0, 0, 0)),
                        visible_[static_cast<std::size_t>(id)]);
        return;
    }
    RECT box = r;
    if (row.kind == ControlKind::Label && row.container != app::kWindow &&
        Row(row.container).kind == ControlKind::Frame) {
        // The frame draws its outline beneath its children, and a label's box painted in
        // the frame's colour would hide the part it overlaps (the design's labels run past
        // the bottom of the unfolded panel). The label ends inside the outline instead.
        const app::TwipsRect& frame = rects_[static_cast<std::size_t>(row.container)];
        const RECT inside = PixelRect({0, 0, frame.width, frame.height}, dpi_);
        box.right = std::max(box.left, std::min(box.right, inside.right - 1));
        box.bottom = std::max(box.top, std::min(box.bottom, inside.bottom - 1));
    }
    ::SetWindowPos(controls_[static_cast<std::size_t>(id)], nullptr, box.left, box.top,
                   box.right - box.left, box.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (row.kind == ControlKind::Frame) {
        for (std::size_t i = 0; i < design_.controlCount; ++i)
            if (design_.controls[i].container == id &&
                design_.controls[i].kind == ControlKind::Label)
                PlaceControl(static_cast<int>(i), rects_[i]);
    }
}

void DesignWindow::SetControlVisible(int id, bool visible) {
    visible_[static_cast<std::size_t>(id)] = visible;
    if (Row(id).kind == ControlKind::Shape) {
        PlaceControl(id, rects_[static_cast<std::size_t>(id)]);
        return;
    }
    ::ShowWindow(controls_[static_cast<std::size_t>(id)], visible ? SW_SHOWNA : SW_HIDE);
}

std::string DesignWindow::ControlText(int id) const {
    HWND control = Control(id);
    if (control == nullptr) return "";
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got));
    return win::ToUtf8(text);
}

void DesignWindow::SetControlColour(int id, const app::Colour& colour) {
    fore_[static_cast<std::size_t>(id)] = colour;
    if (HWND control = Control(id)) ::InvalidateRect(control, nullptr, TRUE);
}

void DesignWindow::SetControlText(int id, const std::string& text) {
    if (HWND control = Control(id)) ::SetWindowTextW(control, Wide(text).c_str());
}

app::TwipsRectF DesignWindow::OuterTwips() const {
    RECT r{};
    ::GetWindowRect(hwnd_, &r);
    const int d = static_cast<int>(dpi_);
    return {app::PixelsToTwipsF(r.left, d), app::PixelsToTwipsF(r.top, d),
            app::PixelsToTwipsF(r.right - r.left, d), app::PixelsToTwipsF(r.bottom - r.top, d)};
}

void DesignWindow::SetClientHeight(int twips) {
    RECT outer{};
    RECT client{};
    ::GetWindowRect(hwnd_, &outer);
    ::GetClientRect(hwnd_, &client);
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    const int height = app::TwipsToPixels(twips, static_cast<int>(dpi_)) + frameHeight;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DesignWindow::SetClientTwips(int width, int height) {
    RECT outer{};
    RECT client{};
    ::GetWindowRect(hwnd_, &outer);
    ::GetClientRect(hwnd_, &client);
    const int d = static_cast<int>(dpi_);
    ::SetWindowPos(hwnd_, nullptr, 0, 0,
                   app::TwipsToPixels(width, d) + (outer.right - outer.left) - client.right,
                   app::TwipsToPixels(height, d) + (outer.bottom - outer.top) - client.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool DesignWindow::ToggleCheckBox(int controlId) {
    const int id = controlId - idBase_;
    if (id < 0 || static_cast<std::size_t>(id) >= design_.controlCount ||
        Row(id).kind != ControlKind::CheckBox)
        return false;
    HWND box = controls_[static_cast<std::size_t>(id)];
    const LRESULT state = ::SendMessageW(box, BM_GETCHECK, 0, 0);
    ::SendMessageW(box, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    return true;
}

void DesignWindow::FocusRow(int id) {
    FocusControl(Control(id));
}

COLORREF DesignWindow::WindowBack() const {
    return ToColorRef(design_.back, ::GetSysColor(COLOR_BTNFACE));
}

COLORREF DesignWindow::BackOf(int id) const {
    for (int at = id; at != app::kWindow; at = Row(at).container) {
        const app::Colour& back = Row(at).back;
        if (back.kind == app::Colour::Rgb) return ToColorRef(back, 0);
        if (back.kind == app::Colour::System && at == id && Row(at).kind != ControlKind::Label)
            return ::GetSysColor(Row(at).kind == ControlKind::TextBox ? COLOR_WINDOW
                                                                      : COLOR_BTNFACE);
    }
    return WindowBack();
}

COLORREF DesignWindow::BackBehind(int id) const {
    // The frame lying under the control's middle, searched from the control downwards in
    // the stacking order among the rows of the same container.
    const app::TwipsRect& r = rects_[static_cast<std::size_t>(id)];
    const int x = r.left + r.width / 2;
    const int y = r.top + r.height / 2;
    for (int below = id - 1; below >= 0; --below) {
        const app::ControlDesign& row = Row(below);
        const app::TwipsRect& b = rects_[static_cast<std::size_t>(below)];
        if (row.container != Row(id).container || row.kind != ControlKind::Frame) continue;
        if (x >= b.left && x < b.left + b.width && y >= b.top && y < b.top + b.height)
            return BackOf(below);
    }
    const int container = Row(id).container;
    return container == app::kWindow ? WindowBack() : BackOf(container);
}

LRESULT DesignWindow::ControlColours(HWND child, HDC dc) {
    const int id = ::GetDlgCtrlID(child) - idBase_;
    if (id < 0 || static_cast<std::size_t>(id) >= design_.controlCount) return 0;
    const app::ControlDesign& row = Row(id);
    switch (row.kind) {
        case ControlKind::Label:
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, ToColorRef(fore_[static_cast<std::size_t>(id)],
                                          ::GetSysColor(COLOR_WINDOWTEXT)));
            return reinterpret_cast<LRESULT>(brushes_.Get(BackOf(id)));
        case ControlKind::TextBox:
        case ControlKind::CheckBox: {
            const COLORREF back = BackOf(id);
            ::SetTextColor(dc, ToColorRef(row.fore, ::GetSysColor(COLOR_WINDOWTEXT)));
            ::SetBkColor(dc, back);
            return reinterpret_cast<LRESULT>(brushes_.Get(back));
        }
        case ControlKind::Button:
            return reinterpret_cast<LRESULT>(brushes_.Get(BackBehind(id)));
        default:
            return 0;
    }
}

LRESULT DesignWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            if (const LRESULT brush =
                    ControlColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
                return brush;
            break;
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            RECT client;
            ::GetClientRect(hwnd_, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, brushes_.Get(WindowBack()));
            return 1;
        }
        case WM_ACTIVATE:
            // Keyboard focus returns to where it was when the window is activated again;
            // the first time, to the first control of the tab order.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus != nullptr && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
            } else if (!::IsIconic(hwnd_)) {
                FocusControl(lastFocus_ != nullptr && CanTakeFocus(lastFocus_)
                                 ? lastFocus_
                                 : FirstTabStop(hwnd_));
            }
            return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                           suggested->right - suggested->left, suggested->bottom - suggested->top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            Relayout();
            return 0;
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK DesignWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<DesignWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        ++g_liveWindows;
    }
    auto* self = reinterpret_cast<DesignWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_DESTROY && self != nullptr) self->ForgetSpokenText();
    if (message == WM_NCDESTROY) {
        ForgetNavigation(window);
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        if (self != nullptr) {
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            self->controls_.assign(self->controls_.size(), nullptr);
        }
        if (--g_liveWindows == 0) ::PostQuitMessage(0);
        if (self != nullptr) self->OnDestroyed();  // may delete the window object
        return result;
    }
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

}  // namespace pellix::win32
