// The lookup of the DS-side images and data files: the user's folder, then the installation.
#include "builder/ds_inputs.h"

#include <filesystem>

#include "builder/build_paths.h"
#include "builder/staging_files.h"
#include "system/files.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

// Whether anything, even a dangling link, is at `path`; an unreadable folder holds nothing.
bool IsThere(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

std::string UserFolder() {
    const std::string data = os::UserDataFolder();
    if (data.empty()) return "";
    return paths::WithoutTrailingSeparator(data) + paths::kSeparator +
           (os::kWindows ? "Pellix" : "pellix");
}

DsInputs FindDsInputs(const std::string& appDir, const std::string& userFolder) {
    const fs::path bin = files::ToPath(appDir) / "bin";
    const fs::path user = files::ToPath(userFolder);
    const auto pick = [&](const char* name) {
        const bool own = !userFolder.empty() && IsThere(user / name);
        return ((own ? user : bin) / name).u8string();
    };
    DsInputs inputs;
    inputs.arm7 = pick("7.bin");
    inputs.arm9 = pick("9.bin");
    inputs.dataFolders.push_back((bin / "data").u8string());
    // A user's data folder that is a link to bin/data is packed once, not refused as a
    // folder whose every name is found twice.
    if (!userFolder.empty() && IsThere(user / "data") &&
        paths::FileKey(user / "data") != paths::FileKey(bin / "data"))
        inputs.dataFolders.push_back((user / "data").u8string());
    return inputs;
}

std::string DsImagesNote(const DsInputs& inputs) {
    return "DS images: " + inputs.arm7 + " and " + inputs.arm9;
}

}  // namespace pellix
