// frmPreview on Windows: the designed preview over the shared preview logic, a modeless
// tool window with no owner, one at a time.
#include "preview_window.h"

#include <cmath>

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

PreviewWindow::PreviewWindow() : DesignWindow(app::PreviewWindowSpec(), kPreviewIdBase) {}

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
