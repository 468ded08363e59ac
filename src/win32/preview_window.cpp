// frmPreview on Windows: the designed preview over the shared preview logic, a modeless
// tool window with no owner, one at a time.
#include "preview_window.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "controls.h"
#include "main_window.h"

namespace pellix::win32 {

namespace {

using app::PreviewControl;

// A fixed dialog frame with a close button and no taskbar button of its own.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME;

PreviewWindow* g_current = nullptr;

}  // namespace

PreviewWindow::PreviewWindow() : DesignWindow(app::PreviewWindowDesign(), kPreviewIdBase) {}

PreviewWindow::~PreviewWindow() {
    if (g_current == this) g_current = nullptr;
}

PreviewWindow* PreviewWindow::Current() {
    return g_current;
}

void PreviewWindow::ShowFor(const app::PreviewFacts& facts) {
    if (g_current != nullptr) {
        ::ShowWindow(g_current->hwnd(), SW_SHOWNORMAL);
        ::SetForegroundWindow(g_current->hwnd());
        return;
    }
    auto* preview = new PreviewWindow;
    try {
        preview->Create(kPreviewWindowClass, kStyle, kExStyle);
    } catch (...) {
        delete preview;
        throw;
    }
    // From here the window owns the object: destroying it deletes it (OnDestroyed).
    g_current = preview;
    HWND window = preview->hwnd();
    if (!app::PreviewLogic(*preview).LoadOrReport(facts)) {
        if (::IsWindow(window)) ::DestroyWindow(window);
        return;
    }
    ::ShowWindow(window, SW_SHOW);
}

app::TwipsSizeF PreviewWindow::OuterSize() {
    const app::TwipsRectF outer = OuterTwips();
    return {outer.width, outer.height};
}

void PreviewWindow::MoveTo(double leftTwips, double topTwips) {
    const int d = static_cast<int>(dpi());
    ::SetWindowPos(hwnd(), nullptr,
                   static_cast<int>(std::lround(app::TwipsToPixelsF(leftTwips, d))),
                   static_cast<int>(std::lround(app::TwipsToPixelsF(topTwips, d))), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string PreviewWindow::LoadPicture(PreviewControl box, const std::string& path) {
    std::string reason;
    HBITMAP bitmap = LoadPictureFile(path, reason);
    if (bitmap == nullptr) return reason;
    SetPicture(Control(static_cast<int>(box)), bitmap);
    return "";
}

void PreviewWindow::SetText(PreviewControl label, const std::string& text) {
    SetControlText(static_cast<int>(label), text);
}

bool PreviewWindow::ShowIcon(const app::IconImage& icon) {
    if (icon.width <= 0 || icon.height <= 0 ||
        icon.rgba.size() != static_cast<std::size_t>(icon.width) * icon.height * 4)
        return false;
    // picIcon is a box of its own above picBG; its clear pixels take the background's
    // pixels that lie beneath them (both are drawn one picture pixel to 15 twips).
    const app::TwipsRect& iconBox = Row(static_cast<int>(PreviewControl::picIcon)).rect;
    const app::TwipsRect& backBox = Row(static_cast<int>(PreviewControl::picBG)).rect;
    const int dx = (iconBox.left - backBox.left) / app::kTwipsPerPixelAt96Dpi;
    const int dy = (iconBox.top - backBox.top) / app::kTwipsPerPixelAt96Dpi;
    DIBSECTION back{};
    HBITMAP backBitmap = GetPicture(Control(static_cast<int>(PreviewControl::picBG)));
    const bool haveBack = backBitmap != nullptr &&
                          ::GetObjectW(backBitmap, sizeof back, &back) == sizeof back &&
                          back.dsBm.bmBitsPixel == 32 && back.dsBm.bmBits != nullptr;
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    // Pictures are loaded as top-down DIB sections (LoadPictureFile); sizes are taken
    // without their sign, which the system does not report the same way everywhere.
    const int backWidth = haveBack ? std::abs(back.dsBmih.biWidth) : 0;
    const int backHeight = haveBack ? std::abs(back.dsBmih.biHeight) : 0;
    const auto backPixel = [&](int x, int y) -> const std::uint8_t* {
        if (!haveBack || x < 0 || y < 0 || x >= backWidth || y >= backHeight) return nullptr;
        const int row = y;
        return static_cast<const std::uint8_t*>(back.dsBm.bmBits) +
               static_cast<std::size_t>(row) * back.dsBm.bmWidthBytes +
               static_cast<std::size_t>(x) * 4;
    };

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = icon.width;
    info.bmiHeader.biHeight = -icon.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) return false;
    auto* out = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < icon.height; ++y) {
        for (int x = 0; x < icon.width; ++x, out += 4) {
            const std::uint8_t* p = &icon.rgba[(static_cast<std::size_t>(y) * icon.width + x) * 4];
            if (p[3] != 0) {
                out[0] = p[2], out[1] = p[1], out[2] = p[0];
            } else if (const std::uint8_t* b = backPixel(x + dx, y + dy)) {
                out[0] = b[0], out[1] = b[1], out[2] = b[2];
            } else {
                out[0] = GetBValue(face), out[1] = GetGValue(face), out[2] = GetRValue(face);
            }
            out[3] = 0;
        }
    }
    SetPicture(Control(static_cast<int>(PreviewControl::picIcon)), bitmap);
    return true;
}

void PreviewWindow::ShowMessage(const std::string& text) {
    // No owner: the preview is not shown yet, and the main window may be gone.
    ShowMessageBox(nullptr, text);
}

LRESULT PreviewWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
        LOWORD(wParam) == kPreviewIdBase + static_cast<int>(PreviewControl::cmdClose)) {
        // Unloads the preview; the object goes with its window, so nothing follows here.
        ::DestroyWindow(hwnd());
        return 0;
    }
    if (message == WM_COMMAND) return 0;  // Enter and Esc: Close is neither default nor cancel
    return DesignWindow::HandleMessage(message, wParam, lParam);
}

void PreviewWindow::OnDestroyed() {
    delete this;
}

}  // namespace pellix::win32
