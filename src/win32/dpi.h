// Twips, points and system metrics at a window's DPI, for a per-monitor DPI aware program.
#pragma once

#include <windows.h>

#include "app/window_layout.h"

namespace pellix::win32 {

// The DPI at which one pixel is 15 twips and every size is as designed.
constexpr unsigned kBaseDpi = 96;

// A rectangle given in twips as pixels at `dpi`. Each edge is rounded on its own, so
// boxes that touch in the design still touch (no gap or overlap of a pixel).
RECT PixelRect(const app::TwipsRect& twips, unsigned dpi);

// The LOGFONT height of a font of `points` at `dpi` (negative: the character height).
LONG FontHeight(double points, unsigned dpi);

// `pixels` at the base DPI as pixels at `dpi` (pictures are drawn at this size).
int ScaleFromBase(int pixels, unsigned dpi);

// The DPI of the monitor `window` is on (GetDpiForWindow where the system has it, the
// screen's LOGPIXELSY otherwise); kBaseDpi when neither answers.
unsigned WindowDpi(HWND window);

// The DPI the system gives new windows before they are placed on a monitor.
unsigned SystemDpi();

// The outer size of a window with `style`/`exStyle` whose client area is `clientWidth` x
// `clientHeight` pixels at `dpi` (no menu).
SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, unsigned dpi);

// GetSystemMetrics at `dpi` (GetSystemMetricsForDpi where available).
int SystemMetric(int index, unsigned dpi);

}  // namespace pellix::win32
