// ApplicationDirectory: the executable's folder, or the folder a test put in its place.
#include "builder/app_directory.h"

#include "builder/staging_files.h"
#include "system/files.h"

namespace pellix {

namespace {
std::string g_override;
}

std::string ApplicationDirectory() {
    if (!g_override.empty()) return g_override;
    return files::ToPath(os::ExecutablePath()).parent_path().u8string();
}

void SetApplicationDirectory(const std::string& dir) {
    g_override = dir;
    // Fixed paths are built by appending a separator, so none may end in one.
    while (g_override.size() > 1 && (g_override.back() == '/' || g_override.back() == '\\'))
        g_override.pop_back();
}

}  // namespace pellix
