// The names and descriptions screen readers say for controls, given to the platform's
// accessibility layer as annotations of the controls' standard accessible objects.
#pragma once

#include <windows.h>

#include <string>

namespace pellix::win32 {

// Makes screen readers say `name` for `control` in place of what its text or the window's
// child order gives, and `description` after it; an empty string leaves that part as it
// was. Needs COM on the calling thread. False when the platform does not take annotations
// (the control is then named as if none had been given).
bool SetAccessibleText(HWND control, const std::string& name, const std::string& description);

// Removes what SetAccessibleText gave `control`; called before the control is destroyed.
void ClearAccessibleText(HWND control);

}  // namespace pellix::win32
