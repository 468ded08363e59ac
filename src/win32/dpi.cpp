// Twips, points and system metrics at a window's DPI, for a per-monitor DPI aware program.
#include "win32/dpi.h"

#include <cmath>

namespace pellix::win32 {

namespace {

// Functions of newer systems, looked up at run time so that the program still starts where
// they are missing (and falls back to the system-wide DPI).
template <typename Fn>
Fn User32Function(const char* name) {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 != nullptr
               ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(user32, name)))
               : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

unsigned ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) return kBaseDpi;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<unsigned>(dpi) : kBaseDpi;
}

}  // namespace

RECT PixelRect(const app::TwipsRect& twips, unsigned dpi) {
    const int d = static_cast<int>(dpi);
    return RECT{app::TwipsToPixels(twips.left, d), app::TwipsToPixels(twips.top, d),
                app::TwipsToPixels(twips.left + twips.width, d),
                app::TwipsToPixels(twips.top + twips.height, d)};
}

LONG FontHeight(double points, unsigned dpi) {
    return -static_cast<LONG>(std::lround(points * dpi / 72.0));
}

int ScaleFromBase(int pixels, unsigned dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

unsigned WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi > 0) return dpi;
    }
    return SystemDpi();
}

unsigned SystemDpi() {
    static const auto getDpiForSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    if (getDpiForSystem != nullptr) {
        const UINT dpi = getDpiForSystem();
        if (dpi > 0) return dpi;
    }
    return ScreenDpi();
}

SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, unsigned dpi) {
    static const auto adjust =
        User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, clientWidth, clientHeight};
    if (adjust == nullptr || !adjust(&rect, style, FALSE, exStyle, dpi))
        ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

int SystemMetric(int index, unsigned dpi) {
    static const auto metric = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    return metric != nullptr ? metric(index, dpi) : ::GetSystemMetrics(index);
}

}  // namespace pellix::win32
