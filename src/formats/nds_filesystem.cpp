// Scans a staging folder into a DS file tree and writes its file name table.
#include "formats/nds_filesystem.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "formats/byte_order.h"
#include "formats/file_bytes.h"
#include "formats/nds_format.h"

namespace fs = std::filesystem;

namespace pellix::formats {
namespace {

struct Entry {
    std::string name;
    fs::path path;
    bool isDir = false;
    uint64_t size = 0;
};

std::string Shown(const fs::path& path) {
    return path.generic_u8string();
}

std::vector<Entry> ListFolder(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec == std::errc::not_a_directory)
        throw FileError(Shown(folder), "cannot read the folder: not a folder");
    if (ec) throw FileError(Shown(folder), "cannot read the folder: " + ErrorText(ec));
    std::vector<Entry> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        Entry entry;
        entry.path = it->path();
        entry.name = entry.path.filename().u8string();
        if (entry.name.empty() || entry.name == "." || entry.name == "..") continue;
        const fs::file_status status = it->status(ec);
        if (ec) throw FileError(Shown(entry.path), ErrorText(ec));
        if (fs::is_directory(status)) {
            entry.isDir = true;
        } else if (fs::is_regular_file(status)) {
            entry.size = fs::file_size(entry.path, ec);
            if (ec) throw FileError(Shown(entry.path), ErrorText(ec));
        } else {
            throw FileError(Shown(entry.path), "neither a file nor a folder");
        }
        if (entry.name.size() > nds::kMaxNameLength) {
            throw FileError(Shown(entry.path),
                            "the name is " + std::to_string(entry.name.size()) +
                                " bytes long; a DS file system allows at most 127");
        }
        entries.push_back(std::move(entry));
    }
    if (ec) throw FileError(Shown(folder), "cannot read the folder: " + ErrorText(ec));
    // std::string compares as unsigned bytes, like strcmp.
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

void AddFolder(NdsFileSystem& result, size_t dirIndex, const fs::path& folder,
               const std::string& prefix) {
    const std::vector<Entry> entries = ListFolder(folder);
    result.dirs[dirIndex].firstFileId = static_cast<uint16_t>(result.files.size());
    for (const Entry& entry : entries) {
        if (entry.isDir) continue;
        if (result.files.size() >= nds::kMaxFiles) {
            throw FileError(Shown(entry.path),
                            "too many files; a DS file system holds at most 61440");
        }
        result.files.push_back(
            NdsFsFile{entry.name, prefix + entry.name, entry.path.u8string(), entry.size});
        ++result.dirs[dirIndex].fileCount;
    }
    for (const Entry& entry : entries) {
        if (!entry.isDir) continue;
        if (result.dirs.size() >= nds::kMaxDirs) {
            throw FileError(Shown(entry.path),
                            "too many folders; a DS file system holds at most 4096");
        }
        const size_t child = result.dirs.size();
        NdsFsDir dir;
        dir.name = entry.name;
        dir.parent = dirIndex;
        result.dirs.push_back(std::move(dir));
        result.dirs[dirIndex].subdirs.push_back(child);
        AddFolder(result, child, entry.path, prefix + entry.name + "/");
    }
}

}  // namespace

NdsFileSystem EmptyFileSystem() {
    NdsFileSystem result;
    result.dirs.emplace_back();
    return result;
}

NdsFileSystem ScanFolder(const std::string& folder) {
    NdsFileSystem result = EmptyFileSystem();
    AddFolder(result, 0, fs::u8path(folder), "");
    return result;
}

std::vector<uint8_t> BuildFnt(const NdsFileSystem& fs) {
    const size_t dirCount = fs.dirs.size();
    std::vector<uint8_t> fnt(dirCount * nds::kFntMainEntrySize, 0);
    for (size_t d = 0; d < dirCount; ++d) {
        const NdsFsDir& dir = fs.dirs[d];
        uint8_t* main = &fnt[d * nds::kFntMainEntrySize];
        put_u32le(main, static_cast<uint32_t>(fnt.size()));
        put_u16le(main + 4, dir.firstFileId);
        put_u16le(main + 6,
                  static_cast<uint16_t>(d == 0 ? dirCount : nds::kRootDirId + dir.parent));
        for (uint16_t k = 0; k < dir.fileCount; ++k) {
            const std::string& name = fs.files[dir.firstFileId + k].name;
            fnt.push_back(static_cast<uint8_t>(name.size()));
            fnt.insert(fnt.end(), name.begin(), name.end());
        }
        for (size_t child : dir.subdirs) {
            const std::string& name = fs.dirs[child].name;
            fnt.push_back(static_cast<uint8_t>(name.size() | nds::kFntDirFlag));
            fnt.insert(fnt.end(), name.begin(), name.end());
            uint8_t id[2];
            put_u16le(id, static_cast<uint16_t>(nds::kRootDirId + child));
            fnt.insert(fnt.end(), id, id + 2);
        }
        fnt.push_back(0);
    }
    return fnt;
}

}  // namespace pellix::formats
