// modOpenFileDialog: asks the user for one existing file with the system's open dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pellix::modOpenFileDialog {

// The dialog's filter list from "Description|pattern|Description|pattern": every "|"
// becomes a NUL and the list ends in two NULs, as OPENFILENAMEW's lpstrFilter wants.
// Throws std::range_error when `filter` is not valid UTF-8.
std::wstring FilterText(const std::string& filter);

// Shows the system's file-open dialog (wide form) and returns the full path of the chosen
// file as UTF-8, or "" when the user cancels or the dialog fails. The first filter entry is
// preselected, `defaultExt` (no dot) is added to a typed name without an extension, the
// dialog opens in `initialDir`, `flags` are the dialog's OFN_ bits unchanged, and `owner`
// (may be null) is the window it blocks. The process's current folder is the same after
// the call as before, whatever folder the user went through. Never throws.
std::string ShowOpenDialog(const std::string& filter, const std::string& defaultExt,
                           const std::string& initialDir, std::uint32_t flags, HWND owner);

}  // namespace pellix::modOpenFileDialog
