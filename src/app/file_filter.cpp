// Chooser requests of the main window and the reading of their filter strings.
#include "app/file_filter.h"

#include <cstddef>

namespace pellix::app {

FileDialogRequest FileDialogFor(FileChooser chooser, const std::string& appDir) {
    switch (chooser) {
        case FileChooser::Rom:
            return {"GBA ROMs|*.gba|All files|*.*", "gba", appDir, kFileMustExist};
        case FileChooser::Icon:
            return {"Pictures|*.bmp;*.png;*.jpg;*.jpeg;*.gif|Bitmap images|*.bmp|All files|*.*",
                    "bmp", appDir, kFileMustExist};
        case FileChooser::Border:
            return {
                "Pictures|*.bmp;*.png;*.jpg;*.jpeg;*.gif|Bitmap images|*.bmp|PNG images|*.png|All "
                "files|*.*",
                "bmp", appDir, kFileMustExist};
    }
    return {};
}

FolderDialogRequest OutputFolderDialog() {
    return {"Select a Folder", kReturnOnlyFsDirs, kDesktopRoot};
}

namespace {

std::vector<std::string> Split(const std::string& text, const std::string& separators) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find_first_of(separators, start);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        parts.push_back(text.substr(start, stop - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::vector<FilterEntry> FilterEntries(const std::string& filter) {
    const std::vector<std::string> parts = Split(filter, "|");
    std::vector<FilterEntry> entries;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FilterEntry entry;
        entry.description = parts[i];
        for (std::string& pattern : Split(parts[i + 1], "; \t")) {
            if (pattern.empty()) continue;
            entry.patterns.push_back(pattern == "*.*" ? "*" : pattern);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace pellix::app
