// The pieces both windows are made of: panels with an outline, picture boxes, transparent
// title labels, fonts by point size at a DPI, and control creation from design data.
#include "controls.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <tuple>

#include "dpi.h"
#include "picture.h"

namespace pellix::win32 {

const wchar_t kPanelClass[] = L"PellixPanel";
const wchar_t kPictureClass[] = L"PellixPicture";
const wchar_t kTitleClass[] = L"PellixTitle";

namespace {

struct PanelData {
    HBRUSH fill = nullptr;
    COLORREF outline = RGB(0, 0, 0);
};

PanelData* Panel(HWND window) {
    return reinterpret_cast<PanelData*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Messages a child control sends its parent go on to the top-level window, which decides
// colours and handles clicks for every control, whatever panel holds it.
bool ForwardsToTopLevel(UINT message) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ForwardsToTopLevel(message))
        return ::SendMessageW(::GetAncestor(window, GA_ROOT), message, wParam, lParam);
    PanelData* data = Panel(window);
    switch (message) {
        case WM_NCCREATE:
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new PanelData));
            break;
        case WM_NCDESTROY:
            if (data != nullptr) {
                if (data->fill != nullptr) ::DeleteObject(data->fill);
                delete data;
                ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            }
            break;
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            // WM_PRINTCLIENT comes from themed controls drawing what lies behind them.
            RECT client;
            ::GetClientRect(window, &client);
            if (data != nullptr && data->fill != nullptr)
                ::FillRect(reinterpret_cast<HDC>(wParam), &client, data->fill);
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            HPEN pen = ::CreatePen(PS_SOLID, 1, data != nullptr ? data->outline : RGB(0, 0, 0));
            HGDIOBJ oldPen = ::SelectObject(dc, pen);
            HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
            ::Rectangle(dc, 0, 0, client.right, client.bottom);
            ::SelectObject(dc, oldBrush);
            ::SelectObject(dc, oldPen);
            ::DeleteObject(pen);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_SIZE:
            // The outline follows the panel's size.
            ::InvalidateRect(window, nullptr, TRUE);
            break;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void DrawTitles(HWND picture, HDC dc) {
    for (HWND child = ::GetWindow(picture, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[32] = {};
        ::GetClassNameW(child, name, 32);
        if (::lstrcmpW(name, kTitleClass) != 0 || !::IsWindowVisible(child)) continue;
        const int length = ::GetWindowTextLengthW(child);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        ::GetWindowTextW(child, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        RECT box;
        ::GetWindowRect(child, &box);
        ::MapWindowPoints(nullptr, picture, reinterpret_cast<POINT*>(&box), 2);
        const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0));
        HGDIOBJ oldFont = font != nullptr ? ::SelectObject(dc, font) : nullptr;
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        // Cut at the label's edges, as a label does; never shortened or wrapped.
        ::DrawTextW(dc, text.c_str(), length, &box,
                    DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        if (oldFont != nullptr) ::SelectObject(dc, oldFont);
    }
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCDESTROY:
            if (HBITMAP bitmap = GetPicture(window)) ::DeleteObject(bitmap);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            break;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
            if (HBITMAP bitmap = GetPicture(window)) {
                BITMAP info{};
                ::GetObjectW(bitmap, sizeof info, &info);
                const unsigned dpi = WindowDpi(window);
                HDC source = ::CreateCompatibleDC(dc);
                HGDIOBJ old = ::SelectObject(source, bitmap);
                if (dpi == kBaseDpi) {
                    ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
                } else {
                    ::SetStretchBltMode(dc, HALFTONE);
                    ::SetBrushOrgEx(dc, 0, 0, nullptr);
                    ::StretchBlt(dc, 0, 0, ScaleFromBase(info.bmWidth, dpi),
                                 ScaleFromBase(info.bmHeight, dpi), source, 0, 0, info.bmWidth,
                                 info.bmHeight, SRCCOPY);
                }
                ::SelectObject(source, old);
                ::DeleteDC(source);
            }
            DrawTitles(window, dc);
            ::EndPaint(window, &paint);
            return 0;
        }
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A title label keeps its text and font; the picture box beneath draws them, so nothing of
// the label's own covers the picture.
LRESULT CALLBACK TitleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            ::BeginPaint(window, &paint);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_SETFONT:
            ::SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
            return 0;
        case WM_GETFONT:
            return ::GetWindowLongPtrW(window, GWLP_USERDATA);
        case WM_SETTEXT: {
            const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
            ::InvalidateRect(::GetParent(window), nullptr, FALSE);
            return result;
        }
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void RegisterControlClasses(HINSTANCE instance) {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);

    wc.lpfnWndProc = PanelProc;
    wc.lpszClassName = kPanelClass;
    ::RegisterClassExW(&wc);

    wc.lpfnWndProc = PictureProc;
    wc.lpszClassName = kPictureClass;
    ::RegisterClassExW(&wc);

    wc.lpfnWndProc = TitleProc;
    wc.lpszClassName = kTitleClass;
    ::RegisterClassExW(&wc);
    registered = true;
}

std::map<int, HWND> CreateControls(HWND window, const std::vector<ControlSpec>& specs,
                                   unsigned dpi) {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    RegisterControlClasses(instance);
    std::map<int, HWND> controls;
    for (const ControlSpec& spec : specs) {
        HWND parent = window;
        if (spec.container != 0) {
            const auto found = controls.find(spec.container);
            if (found == controls.end())
                throw std::logic_error("a control's container must come before it");
            parent = found->second;
        }
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        const wchar_t* className = L"STATIC";
        switch (spec.kind) {
            case Kind::Panel:
                className = kPanelClass;
                style |= WS_CLIPCHILDREN;
                exStyle |= WS_EX_CONTROLPARENT;
                break;
            case Kind::Label:
                style |= SS_NOPREFIX | (spec.centred ? SS_CENTER : SS_LEFT);
                break;
            case Kind::TextBox:
                className = L"EDIT";
                style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
                exStyle |= WS_EX_CLIENTEDGE;
                break;
            case Kind::Button:
                className = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case Kind::CheckBox:
                className = L"BUTTON";
                style |= WS_TABSTOP | BS_AUTOCHECKBOX;
                break;
            case Kind::Picture:
                className = kPictureClass;
                break;
            case Kind::Title:
                className = kTitleClass;
                break;
        }
        if (!spec.hidden) style |= WS_VISIBLE;
        if (spec.disabled) style |= WS_DISABLED;
        const RECT r = TwipsRect(spec.left, spec.top, spec.width, spec.height, dpi);
        HWND control = ::CreateWindowExW(
            exStyle, className, spec.caption.c_str(), style, r.left, r.top, r.right - r.left,
            r.bottom - r.top, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
        if (control == nullptr)
            throw std::runtime_error("cannot create the window's controls (error " +
                                     std::to_string(::GetLastError()) + ")");
        // Listed front to back: each new control goes behind its siblings.
        ::SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        controls[spec.id] = control;
    }
    return controls;
}

void PlaceControls(const std::map<int, HWND>& controls, const std::vector<ControlSpec>& specs,
                   unsigned dpi, FontCache& fonts) {
    for (const ControlSpec& spec : specs) {
        const auto found = controls.find(spec.id);
        if (found == controls.end()) continue;
        const RECT r = TwipsRect(spec.left, spec.top, spec.width, spec.height, dpi);
        ::SetWindowPos(found->second, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (spec.kind != Kind::Panel && spec.kind != Kind::Picture)
            ::SendMessageW(found->second, WM_SETFONT,
                           reinterpret_cast<WPARAM>(fonts.Get(spec.font, dpi)), TRUE);
    }
}

bool FontCache::Key::operator<(const Key& o) const {
    return std::tie(face, centiPoints, bold, dpi) < std::tie(o.face, o.centiPoints, o.bold, o.dpi);
}

FontCache::~FontCache() {
    for (auto& entry : fonts_) ::DeleteObject(entry.second);
}

HFONT FontCache::Get(const FontSpec& spec, unsigned dpi) {
    const Key key{spec.face, static_cast<int>(std::lround(spec.points * 100)), spec.bold, dpi};
    const auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    LOGFONTW font{};
    font.lfHeight = FontHeight(spec.points, dpi);
    font.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    ::lstrcpynW(font.lfFaceName, spec.face, LF_FACESIZE);
    HFONT made = ::CreateFontIndirectW(&font);
    if (made == nullptr) made = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    fonts_[key] = made;
    return made;
}

void FontCache::DropOtherDpis(unsigned dpi) {
    for (auto it = fonts_.begin(); it != fonts_.end();) {
        if (it->first.dpi != dpi) {
            ::DeleteObject(it->second);
            it = fonts_.erase(it);
        } else {
            ++it;
        }
    }
}

void SetPanelColours(HWND panel, COLORREF fill, COLORREF outline) {
    if (PanelData* data = Panel(panel)) {
        if (data->fill != nullptr) ::DeleteObject(data->fill);
        data->fill = ::CreateSolidBrush(fill);
        data->outline = outline;
        ::InvalidateRect(panel, nullptr, TRUE);
    }
}

void SetPicture(HWND pictureBox, HBITMAP bitmap) {
    HBITMAP old = GetPicture(pictureBox);
    ::SetWindowLongPtrW(pictureBox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
    if (old != nullptr && old != bitmap) ::DeleteObject(old);
    ::InvalidateRect(pictureBox, nullptr, FALSE);
}

HBITMAP GetPicture(HWND pictureBox) {
    return reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(pictureBox, GWLP_USERDATA));
}

HBITMAP LoadPictureFile(const std::string& path) {
    formats::Picture picture;
    try {
        picture = formats::ReadPictureFile(path);
    } catch (const std::exception& error) {
        throw std::runtime_error("cannot load the picture " + path + ": " + error.what());
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top-down, as the picture's rows are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr)
        throw std::runtime_error("cannot load the picture " + path + ": not enough memory");
    auto* out = static_cast<std::uint8_t*>(bits);
    for (const formats::Rgb8& pixel : picture.pixels) {
        *out++ = pixel.b;
        *out++ = pixel.g;
        *out++ = pixel.r;
        *out++ = 0;
    }
    return bitmap;
}

HBITMAP LoadPictureResource(HINSTANCE instance, int id) {
    return static_cast<HBITMAP>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                                             LR_CREATEDIBSECTION));
}

}  // namespace pellix::win32
