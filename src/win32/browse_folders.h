// modBrowseFolders: asks the user for a file-system folder with the shell's folder browser.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pellix::modBrowseFolders {

// Shows the shell's folder browser (wide form) owned by `owner`, with `title` above the
// tree, `flags` as its BIF_ bits unchanged and the special folder `root` (CSIDL_, 0 is the
// desktop) at the top. Returns the chosen folder's file-system path as UTF-8, exactly as
// the shell gives it (a drive root keeps its "\"), or "" when the user cancels or the item
// has no file-system path. Throws std::range_error when `title` is not valid UTF-8.
std::string BrowseFolder(HWND owner, const std::string& title, std::uint32_t flags,
                         std::int32_t root);

}  // namespace pellix::modBrowseFolders
