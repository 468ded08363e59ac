// The message loop of the windows, keyboard navigation in design order, and the pump the
// tool runner calls while a build waits for a program.
#pragma once

#include <windows.h>

#include <vector>

namespace pellix::win32 {

// Makes Tab and Shift+Tab inside `topLevel` move through `order` (controls that are
// hidden, disabled or cut away by their container are skipped), and lets the system's
// dialog keys (arrows, Space, mnemonics) work there. Replaces an earlier order for the
// same window; the entry goes when the window is destroyed (ForgetNavigation).
void SetNavigation(HWND topLevel, std::vector<HWND> order);
void ForgetNavigation(HWND topLevel);

// The first control of `topLevel`'s order that can take the focus now, or null.
HWND FirstTabStop(HWND topLevel);

// The control after (or before, when `backwards`) `from` in the order of `topLevel` that
// can take the focus now, wrapping round; null when none can.
HWND NextTabStop(HWND topLevel, HWND from, bool backwards);

// Whether `control` can take the focus: visible, enabled, and not lying wholly outside
// the client area of any window that contains it.
bool CanTakeFocus(HWND control);

// Gives `control` the focus as dialog navigation does (an edit box gets its text selected).
void FocusControl(HWND control);

// Handles `msg` as keyboard navigation when it is that; true when it was.
bool TranslateNavigation(MSG& msg);

// Dispatches every message waiting in the thread's queue and returns without waiting.
// A WM_QUIT it meets is posted again for the main loop and ends the call.
void DispatchPending();

// The program's message loop: runs until WM_QUIT and returns its exit code.
int RunMessageLoop();

}  // namespace pellix::win32
