// The choosers the main window opens: their requests, and how a filter string becomes entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellix::app {

// Option bit of a file chooser: only a file that exists can be chosen.
constexpr std::uint32_t kFileMustExist = 0x1000;
// Option bit of the folder browser: only file-system folders can be chosen.
constexpr std::uint32_t kReturnOnlyFsDirs = 0x0001;
// Root of the folder browser's tree: the desktop.
constexpr std::int32_t kDesktopRoot = 0;

// A file chooser as the main window asks for it. It has no owner window: the main window
// stays usable while it is open.
struct FileDialogRequest {
    std::string filter;      // "Description|pattern|Description|pattern"; first entry preselected
    std::string defaultExt;  // without a dot; added to a typed name that has no extension
    std::string initialDir;  // the folder the chooser opens in
    std::uint32_t flags = kFileMustExist;
};

// The folder browser as the main window asks for it. It is owned by the main window, which
// it blocks while open.
struct FolderDialogRequest {
    std::string title;  // shown above the folder tree
    std::uint32_t flags = kReturnOnlyFsDirs;
    std::int32_t root = kDesktopRoot;
};

// The three file choosers of the main window.
enum class FileChooser { Rom, Icon, Border };

// The request of one chooser; every one opens in `appDir`, the installation folder.
FileDialogRequest FileDialogFor(FileChooser chooser, const std::string& appDir);
// The output folder's browser ("Select a Folder", file-system folders, from the desktop).
FolderDialogRequest OutputFolderDialog();

// One entry of a filter: its description and its patterns.
struct FilterEntry {
    std::string description;            // "GBA ROMs"
    std::vector<std::string> patterns;  // {"*.gba"}
};

// Splits "Description|pattern|..." into entries, in order. Patterns of one entry may be
// separated by ";" or spaces. A description left without a pattern at the end is dropped.
// "*.*" means every file, as the Windows dialogs read it, so it becomes "*": a dialog that
// matches patterns literally would otherwise hide files whose names have no dot.
std::vector<FilterEntry> FilterEntries(const std::string& filter);

}  // namespace pellix::app
