// The pieces both windows are made of: panels with an outline, picture boxes, transparent
// title labels, fonts by point size at a DPI, and control creation from design data.
#include "win32/controls.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <tuple>

#include "win32/dpi.h"

namespace pellix::win32 {

const wchar_t kPanelClass[] = L"PellixPanel";
const wchar_t kPictureClass[] = L"PellixPicture";
const wchar_t kTitleClass[] = L"PellixTitle";

namespace {

// The window property of a picture box that holds its picture's density.
const wchar_t kDensityProperty[] = L"PellixPictureDensity";

struct Outline {
    int id;
    RECT rect;
    COLORREF colour;
    bool visible;
};

struct PanelData {
    HBRUSH fill = nullptr;
    std::vector<Outline> outlines;
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
            if (data != nullptr) {
                HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
                for (const Outline& outline : data->outlines) {
                    if (!outline.visible) continue;
                    HPEN pen = ::CreatePen(PS_SOLID, 1, outline.colour);
                    HGDIOBJ oldPen = ::SelectObject(dc, pen);
                    ::Rectangle(dc, outline.rect.left, outline.rect.top, outline.rect.right,
                                outline.rect.bottom);
                    ::SelectObject(dc, oldPen);
                    ::DeleteObject(pen);
                }
                ::SelectObject(dc, oldBrush);
            }
            ::EndPaint(window, &paint);
            return 0;
        }
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
            ::RemovePropW(window, kDensityProperty);
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
                const int dpi = static_cast<int>(WindowDpi(window));
                const int density = std::max(1, static_cast<int>(reinterpret_cast<INT_PTR>(
                                                    ::GetPropW(window, kDensityProperty))));
                const int scale = static_cast<int>(kBaseDpi) * density;
                const int width = ::MulDiv(info.bmWidth, dpi, scale);
                const int height = ::MulDiv(info.bmHeight, dpi, scale);
                HDC source = ::CreateCompatibleDC(dc);
                HGDIOBJ old = ::SelectObject(source, bitmap);
                if (width == info.bmWidth && height == info.bmHeight) {
                    ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
                } else {
                    ::SetStretchBltMode(dc, HALFTONE);
                    ::SetBrushOrgEx(dc, 0, 0, nullptr);
                    ::StretchBlt(dc, 0, 0, width, height, source, 0, 0, info.bmWidth, info.bmHeight,
                                 SRCCOPY);
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

FontCache::~FontCache() {
    for (auto& entry : fonts_) ::DeleteObject(entry.second);
}

HFONT FontCache::Get(const app::FontDesign& design, unsigned dpi) {
    const std::string face =
        std::strcmp(design.face, "MS Sans Serif") == 0 ? "Microsoft Sans Serif" : design.face;
    const Key key{face, std::lround(design.points * 100), design.bold, dpi};
    const auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    LOGFONTW font{};
    font.lfHeight = FontHeight(design.points, dpi);
    font.lfWeight = design.bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::wstring wideFace(face.begin(), face.end());  // the design's faces are ASCII
    ::lstrcpynW(font.lfFaceName, wideFace.c_str(), LF_FACESIZE);
    HFONT made = ::CreateFontIndirectW(&font);
    if (made == nullptr) made = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    fonts_[key] = made;
    return made;
}

void FontCache::DropOtherDpis(unsigned dpi) {
    for (auto it = fonts_.begin(); it != fonts_.end();) {
        if (std::get<3>(it->first) != dpi) {
            ::DeleteObject(it->second);
            it = fonts_.erase(it);
        } else {
            ++it;
        }
    }
}

HFONT FitWrappedText(FontCache& fonts, const app::FontDesign& font, const std::wstring& text,
                     SIZE box, unsigned dpi) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    app::FontDesign smaller = font;
    HFONT made = fonts.Get(smaller, dpi);
    for (; smaller.points > 4; smaller.points -= 0.25) {
        made = fonts.Get(smaller, dpi);
        HGDIOBJ old = ::SelectObject(dc, made);
        RECT needed{0, 0, box.cx, 0};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(dc, old);
        if (needed.right <= box.cx && needed.bottom <= box.cy) break;
    }
    ::DeleteDC(dc);
    return made;
}

void SetPanelFill(HWND panel, COLORREF fill) {
    if (PanelData* data = Panel(panel)) {
        if (data->fill != nullptr) ::DeleteObject(data->fill);
        data->fill = ::CreateSolidBrush(fill);
        ::InvalidateRect(panel, nullptr, TRUE);
    }
}

void SetPanelOutline(HWND panel, int id, const RECT& rect, COLORREF colour, bool visible) {
    PanelData* data = Panel(panel);
    if (data == nullptr) return;
    const Outline outline{id, rect, colour, visible};
    auto found = std::find_if(data->outlines.begin(), data->outlines.end(),
                              [id](const Outline& o) { return o.id == id; });
    if (found != data->outlines.end())
        *found = outline;
    else
        data->outlines.push_back(outline);
    ::InvalidateRect(panel, nullptr, TRUE);
}

COLORREF ToColorRef(const app::Colour& colour, COLORREF fallback) {
    return colour.kind == app::Colour::Rgb ? RGB(colour.red, colour.green, colour.blue) : fallback;
}

BrushCache::~BrushCache() {
    for (auto& entry : brushes_) ::DeleteObject(entry.second);
}

HBRUSH BrushCache::Get(COLORREF colour) {
    HBRUSH& brush = brushes_[colour];
    if (brush == nullptr) brush = ::CreateSolidBrush(colour);
    return brush;
}

void SetPicture(HWND pictureBox, HBITMAP bitmap, int density) {
    ::SetPropW(pictureBox, kDensityProperty,
               reinterpret_cast<HANDLE>(static_cast<INT_PTR>(density)));
    HBITMAP old = GetPicture(pictureBox);
    ::SetWindowLongPtrW(pictureBox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
    if (old != nullptr && old != bitmap) ::DeleteObject(old);
    ::InvalidateRect(pictureBox, nullptr, FALSE);
}

HBITMAP GetPicture(HWND pictureBox) {
    return reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(pictureBox, GWLP_USERDATA));
}

}  // namespace pellix::win32
