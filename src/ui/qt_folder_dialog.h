// modBrowseFolders: asks the user for a file-system folder.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

class QWidget;

namespace pellix::modBrowseFolders {

// Option bit: only file-system folders can be chosen (always so with our dialog).
constexpr std::uint32_t BIF_RETURNONLYFSDIRS = 0x0001;
// Root folder id of the desktop, the top of the folder tree.
constexpr std::int32_t CSIDL_DESKTOP = 0;

// The path a chosen folder is reported as: native separators, no trailing separator
// except for a root ("C:\", "/"), "" for "".
std::string FolderResult(const QString& chosen);

// Shows a modal folder chooser owned by `owner` (which it blocks while open) with `title`,
// starting at `root` (the desktop, or the home folder where there is no desktop folder),
// and returns the chosen folder as FolderResult gives it; "" when the user cancels.
std::string BrowseFolder(QWidget* owner, const std::string& title, std::uint32_t flags,
                         std::int32_t root);

}  // namespace pellix::modBrowseFolders
