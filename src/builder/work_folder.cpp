// A private working folder for one build: made fresh, filled from the installation, removed.
#include "work_folder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>
#include <thread>

#include "modio.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

// What a build itself writes into data/. A window build that was interrupted may have
// left them in bin/data; the pipeline would clear them, so copying them is wasted work.
constexpr const char* kBuildDataFiles[] = {"game", "game.gz", "game.gba", "border.lz7", "mode.txt"};

bool IsBuildDataFile(const fs::path& name) {
    for (const char* file : kBuildDataFiles)
        if (name == fs::u8path(file)) return true;
    return false;
}

// A name for the next folder: random, so that two programs at once do not meet, and
// counted, so that two builds of one program do not either.
std::string FreshName() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = [] {
        std::random_device device;
        return device() ^
               static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    std::mt19937 gen(seed + 7919u * counter.fetch_add(1));
    char name[32];
    std::snprintf(name, sizeof name, "pellix-build-%08x", static_cast<unsigned>(gen()));
    return name;
}

void CopyInto(const fs::path& from, const fs::path& to) {
    modIO::CopyFileTo(from.u8string(), to.u8string());
}

// Copies the user's files of bin/data, subfolders included, into `to`.
void CopyUserData(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::recursive_directory_iterator it(from, ec);
    if (ec)
        throw modIO::FileError("cannot read the folder " + from.u8string(), modIO::ErrorReason(ec));
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path relative = it->path().lexically_relative(from);
        if (it.depth() == 0 && IsBuildDataFile(relative)) continue;
        const fs::path target = to / relative;
        if (it->is_directory(ec)) {
            if (!fs::create_directory(target, ec) && ec)
                throw modIO::FileError("cannot make the folder " + target.u8string(),
                                       modIO::ErrorReason(ec));
        } else {
            CopyInto(it->path(), target);
        }
    }
    if (ec)
        throw modIO::FileError("cannot read the folder " + from.u8string(), modIO::ErrorReason(ec));
}

// Lets everything below `folder` be deleted: Windows refuses to delete a read-only file,
// and a copy keeps that mark of its original.
void MakeWritable(const fs::path& folder) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
}

}  // namespace

WorkFolder::WorkFolder(const std::string& appDir, const std::string& parent) {
    std::error_code ec;
    const fs::path base = parent.empty() ? fs::temp_directory_path(ec) : modIO::ToPath(parent);
    if (ec) throw modIO::FileError("cannot find the temporary folder", modIO::ErrorReason(ec));
    fs::path folder;
    for (int attempt = 0;; ++attempt) {
        folder = base / FreshName();
        if (fs::create_directory(folder, ec)) break;
        if (ec || attempt == 100)
            throw modIO::FileError(
                "cannot make a working folder in " + base.u8string(),
                modIO::ErrorReason(ec ? ec : std::make_error_code(std::errc::file_exists)));
    }
    path_ = folder.u8string();
    try {
        const fs::path bin = modIO::ToPath(appDir) / "bin";
        CopyInto(bin / "7.bin", folder / "7.bin");
        CopyInto(bin / "9.bin", folder / "9.bin");
        if (!fs::create_directory(folder / "data", ec))
            throw modIO::FileError("cannot make the folder " + (folder / "data").u8string(),
                                   modIO::ErrorReason(ec));
        if (fs::is_directory(bin / "data", ec)) CopyUserData(bin / "data", folder / "data");
    } catch (...) {
        Remove();
        throw;
    }
}

WorkFolder::~WorkFolder() {
    Remove();
}

bool WorkFolder::Remove() {
    if (path_.empty()) return true;
    const fs::path folder = modIO::ToPath(path_);
    // A program that has just ended may hold on to its working folder for a moment
    // (seen under wine), so a failure is given a little time before it counts.
    for (int attempt = 0; attempt < 200; ++attempt) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        if (!fs::exists(folder, ec) && !ec) {
            path_.clear();
            return true;
        }
        if (attempt == 0) MakeWritable(folder);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace pellix
