// frmPreview on Windows: the designed preview drawing the pixels of the shared preview logic.
#include "win32/preview_window.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "win32/controls.h"

namespace pellix::win32 {

namespace {

using app::PreviewControl;

// A fixed dialog frame: caption with the icon and the close button, no sizing border.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

// A hidden window that owns every preview: an unowned window gets a taskbar button, and the
// design gives the preview none. Being hidden, it neither keeps the preview above the main
// window nor shows anywhere itself.
HWND TaskbarlessOwner() {
    static HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr);
    return owner;
}

}  // namespace

PreviewWindow::PreviewWindow(std::function<void()> unloaded)
    : DesignWindow(app::PreviewWindowDesign(), kPreviewIdBase), unloaded_(std::move(unloaded)) {}

PreviewWindow* PreviewWindow::Make(std::function<void()> unloaded) {
    auto* preview = new PreviewWindow(std::move(unloaded));
    try {
        preview->Create(kPreviewWindowClass, kStyle, 0, TaskbarlessOwner());
    } catch (...) {
        delete preview;
        throw;
    }
    // From here the window owns the object: destroying it deletes it (OnDestroyed).
    return preview;
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

void PreviewWindow::SetPicture(PreviewControl box, const app::Image& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down, as the image's rows are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) throw std::runtime_error("not enough memory");
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    auto* out = static_cast<std::uint8_t*>(bits);
    for (std::size_t i = 0; i < image.rgba.size(); i += 4, out += 4) {
        const std::uint8_t* p = &image.rgba[i];
        if (p[3] != 0) {
            out[0] = p[2], out[1] = p[1], out[2] = p[0];
        } else {
            out[0] = GetBValue(face), out[1] = GetGValue(face), out[2] = GetRValue(face);
        }
        out[3] = 0;
    }
    win32::SetPicture(Control(static_cast<int>(box)), bitmap);
}

void PreviewWindow::SetText(PreviewControl label, const std::string& text) {
    SetControlText(static_cast<int>(label), text);
}

void PreviewWindow::SetTextColour(PreviewControl label, const app::Colour& colour) {
    SetControlColour(static_cast<int>(label), colour);
}

void PreviewWindow::SetAccessibleName(PreviewControl box, const std::string& name) {
    SetSpokenText(static_cast<int>(box), name);
}

void PreviewWindow::SetVisible(PreviewControl control, bool visible) {
    SetControlVisible(static_cast<int>(control), visible);
}

void PreviewWindow::SetClientSize(int widthTwips, int heightTwips) {
    SetClientTwips(widthTwips, heightTwips);
}

void PreviewWindow::Show() {
    ::ShowWindow(hwnd(), SW_SHOW);
}

void PreviewWindow::BringForward() {
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd());
}

void PreviewWindow::Discard() {
    ::DestroyWindow(hwnd());
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
    if (unloaded_) std::exchange(unloaded_, nullptr)();
    delete this;
}

}  // namespace pellix::win32
