// A private working folder for one build: made fresh, filled from the installation, removed.
#include "builder/work_folder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <system_error>
#include <thread>

#include "builder/build_paths.h"
#include "builder/staging_files.h"
#include "system/files.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

constexpr char kFolderPrefix[] = "pellix-build-";
constexpr char kLockSuffix[] = ".lock";
// Where a user whose temporary folder cannot be written can send the builds instead.
const std::string kWhereToWork =
    std::string("; set ") + paths::kTemporaryFolderVariable + " to a folder you can write";

// What a build itself writes into data/, and our programs' temporary files. The check
// before a build refuses a user's file of a build name, so these are leftovers of an
// interrupted build or of an earlier version; none of them belongs in a package.
bool IsBuildDataFile(const std::string& name) {
    return paths::IsBuildDataName(name) || paths::IsBuildLeftover(name);
}

// A working folder or its lock, wherever the temporary folder is (even inside bin/data).
bool IsWorkFolderName(const std::string& name) {
    return name.rfind(kFolderPrefix, 0) == 0;
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
    std::snprintf(name, sizeof name, "%s%08x", kFolderPrefix, static_cast<unsigned>(gen()));
    return name;
}

void CopyInto(const fs::path& from, const fs::path& to) {
    files::CopyFileTo(from.u8string(), to.u8string());
}

// A name that `to` holds already, from the data folder copied before (`earlier` is where
// the same name lies there): the package could carry only one of them, and which one would
// be chance.
[[noreturn]] void Clash(const fs::path& from, const fs::path& earlier) {
    throw DataNameClash("cannot pack " + from.u8string(), DataClashReason(earlier.u8string()));
}

// Copies the folder `from` into the existing folder `to`, whose copy of the data folder
// before it came from `earlier`; `around` holds the keys of the folders being copied above
// it, so a link back to one of them is caught.
void CopyTree(const fs::path& from, const fs::path& to, const fs::path& earlier,
              std::set<std::string>& around, bool top) {
    std::error_code ec;
    fs::directory_iterator it(from, ec);
    if (ec)
        throw files::FileError("cannot read the folder " + from.u8string(), files::ErrorReason(ec));
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const std::string name = it->path().filename().u8string();
        if ((top && IsBuildDataFile(name)) || IsWorkFolderName(name)) continue;
        const fs::path target = to / it->path().filename();
        std::error_code statusError;
        const fs::file_status status = fs::status(it->path(), statusError);
        std::error_code targetError;
        const fs::file_status there = fs::symlink_status(target, targetError);
        if (fs::is_directory(status)) {
            if (fs::exists(there) && !fs::is_directory(there))
                Clash(it->path(), earlier / it->path().filename());
            const std::string key = paths::FileKey(it->path());
            if (around.count(key))
                throw files::FileError("cannot copy the folder " + it->path().u8string(),
                                       "it is a link to a folder that holds it");
            if (!fs::create_directory(target, ec) && ec)
                throw files::FileError("cannot make the folder " + target.u8string(),
                                       files::ErrorReason(ec));
            around.insert(key);
            CopyTree(it->path(), target, earlier / it->path().filename(), around, false);
            around.erase(key);
        } else {
            if (fs::exists(there)) Clash(it->path(), earlier / it->path().filename());
            // Regular files, links to them, and what must be refused: CopyFileTo never
            // opens a pipe or a device, and names a dangling link "no such file".
            CopyInto(it->path(), target);
        }
    }
    if (ec)
        throw files::FileError("cannot read the folder " + from.u8string(), files::ErrorReason(ec));
}

// Lets everything below `folder` be deleted: Windows refuses to delete a read-only file,
// and a copy keeps that mark of its original.
void MakeWritable(const fs::path& folder) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
}

// Removes `folder` and everything in it, giving a program that has just ended a moment to
// let go of it (seen under wine) over `attempts` tries. Links inside are removed, never
// followed.
bool RemoveTree(const fs::path& folder, int attempts = 200) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        if (!fs::exists(folder, ec) && !ec) return true;
        if (attempt == 0) MakeWritable(folder);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

fs::path TemporaryFolder(const std::string& parent) {
    std::error_code ec;
    const fs::path base = parent.empty() ? fs::temp_directory_path(ec) : files::ToPath(parent);
    if (ec)
        throw files::FileError("cannot find the temporary folder",
                               files::ErrorReason(ec) + kWhereToWork);
    return base;
}

}  // namespace

std::string DataClashReason(const std::string& earlier) {
    return earlier + " would be packed under the same name; rename or remove one of them";
}

void CopyStagingFolder(const std::string& from, const std::string& to, const std::string& earlier) {
    std::set<std::string> around{paths::FileKey(files::ToPath(from))};
    CopyTree(files::ToPath(from), files::ToPath(to), files::ToPath(earlier), around, true);
}

WorkFolder::WorkFolder(const DsInputs& inputs, const std::string& parent) {
    const fs::path base = TemporaryFolder(parent);
    fs::path folder;
    for (int attempt = 0;; ++attempt) {
        folder = base / FreshName();
        std::error_code ec;
        const std::string lockPath = folder.u8string() + kLockSuffix;
        // The lock comes first and the folder second, so a folder whose lock is free has
        // lost its owner; a sweep that took the fresh lock first leaves no folder to meet.
        if (!fs::exists(fs::symlink_status(files::ToPath(lockPath), ec))) {
            try {
                auto lock = std::make_unique<os::FileLock>(lockPath);
                if (lock->held() && fs::create_directory(folder, ec)) {
                    lock_ = std::move(lock);
                    lockPath_ = lockPath;
                    break;
                }
                fs::remove(files::ToPath(lockPath), ec);
            } catch (const files::FileError& e) {
                throw files::FileError("cannot make a working folder in " + base.u8string(),
                                       e.reason() + kWhereToWork);
            }
        }
        if (attempt == 100)
            throw files::FileError(
                "cannot make a working folder in " + base.u8string(),
                files::ErrorReason(ec ? ec : std::make_error_code(std::errc::file_exists)) +
                    kWhereToWork);
    }
    path_ = folder.u8string();
    try {
        CopyInto(files::ToPath(inputs.arm7), folder / "7.bin");
        CopyInto(files::ToPath(inputs.arm9), folder / "9.bin");
        std::error_code ec;
        if (!fs::create_directory(folder / "data", ec))
            throw files::FileError("cannot make the folder " + (folder / "data").u8string(),
                                   files::ErrorReason(ec));
        const fs::path installed = files::ToPath(inputs.dataFolders.front());
        if (!fs::is_directory(installed, ec))
            throw files::FileError("cannot read the staging folder " + installed.u8string(),
                                   "it does not exist; the installation is incomplete");
        for (std::size_t i = 0; i < inputs.dataFolders.size(); ++i)
            CopyStagingFolder(inputs.dataFolders[i], (folder / "data").u8string(),
                              i > 0 ? inputs.dataFolders[i - 1] : "");
    } catch (...) {
        Remove();
        throw;
    }
}

WorkFolder::~WorkFolder() {
    Remove();
}

bool WorkFolder::Remove() {
    if (!path_.empty()) {
        if (!RemoveTree(files::ToPath(path_))) return false;
        path_.clear();
    }
    if (lock_) {
        // Unlocked before it goes: Windows deletes no file that is open.
        lock_.reset();
        std::error_code ec;
        fs::remove(files::ToPath(lockPath_), ec);
    }
    return true;
}

int RemoveStaleWorkFolders(const std::string& parent) {
    int removed = 0;
    std::error_code ec;
    fs::path base;
    try {
        base = TemporaryFolder(parent);
    } catch (const files::FileError&) {
        return 0;
    }
    std::vector<fs::path> folders;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        std::error_code typeError;
        if (IsWorkFolderName(name) && it->is_directory(typeError) && !it->is_symlink(typeError))
            folders.push_back(it->path());
    }
    for (const fs::path& folder : folders) {
        const std::string lockPath = folder.u8string() + kLockSuffix;
        try {
            os::FileLock lock(lockPath, false);
            if (!lock.held()) continue;  // a running build's, or none of ours
            // Once: another user's folder cannot be removed, and no batch should wait on it.
            if (!RemoveTree(folder, 1)) continue;
        } catch (const files::FileError&) {
            continue;
        }
        fs::remove(files::ToPath(lockPath), ec);
        ++removed;
    }
    return removed;
}

}  // namespace pellix
