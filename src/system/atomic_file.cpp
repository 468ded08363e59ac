// Files written whole under a temporary name, then renamed; the sweep of what killed writers left.
#include "system/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>

#include "system/files.h"

namespace fs = std::filesystem;

namespace pellix::os {

namespace {

constexpr char kPrefix[] = ".px";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
constexpr std::size_t kFewestDigits = 2;
constexpr std::size_t kMostDigits = 16;

unsigned long long FreshRandom() {
    static std::atomic<unsigned long long> counter{0};
    static const unsigned long long seed = [] {
        std::random_device device;
        return (static_cast<unsigned long long>(device()) << 32) ^ device() ^
               static_cast<unsigned long long>(
                   std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    std::mt19937_64 gen(seed + 0x9E3779B97F4A7C15ull * counter.fetch_add(1));
    return gen();
}

std::string Reason(int error) {
    return ErrorReason(std::error_code(error, std::generic_category()));
}

}  // namespace

std::string TemporaryNameFor(const std::string& targetName, unsigned long long random) {
    const std::size_t room =
        targetName.size() > kPrefixLength ? targetName.size() - kPrefixLength : 0;
    const std::size_t digits = std::clamp(room, kFewestDigits, kMostDigits);
    static const char kHex[] = "0123456789abcdef";
    std::string name = kPrefix;
    for (std::size_t i = 0; i < digits; ++i, random >>= 4) name += kHex[random & 15];
    return name;
}

bool IsTemporaryName(const std::string& name) {
    if (name.compare(0, kPrefixLength, kPrefix) != 0) return false;
    const std::size_t digits = name.size() - kPrefixLength;
    if (digits < kFewestDigits || digits > kMostDigits) return false;
    return std::all_of(name.begin() + kPrefixLength, name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

AtomicFile::AtomicFile(const std::string& target, bool removeOnStop, bool ownerOnly)
    : target_(target) {
    const fs::path at = fs::u8path(target);
    const std::string what = "cannot write " + target;
    const std::string folder = at.has_parent_path() ? at.parent_path().u8string() : "";
    const std::string targetName = at.filename().u8string();
    int error = EEXIST;
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string name = TemporaryNameFor(targetName, FreshRandom());
        temp_ = folder.empty() ? name : (fs::u8path(folder) / fs::u8path(name)).u8string();
        if (removeOnStop) WatchTemporary(temp_);
        file_ = CreateNewFile(temp_, ownerOnly);
        if (!file_) {
            error = errno;
            if (removeOnStop) ForgetTemporary();
            if (error == EEXIST) continue;
            throw FileError(what, Reason(error));
        }
        // A sweep may have taken the fresh file for a leftover before it was locked: then
        // the lock is not ours, or the name is gone, and another name is tried.
        try {
            lock_ = std::make_unique<FileLock>(temp_, false);
        } catch (const FileError& e) {
            std::fclose(file_);
            file_ = nullptr;
            std::error_code ec;
            fs::remove(fs::u8path(temp_), ec);
            if (removeOnStop) ForgetTemporary();
            throw FileError(what, e.reason());
        }
        if (lock_->held() && Inspect(temp_).exists) {
            watched_ = removeOnStop;
            return;
        }
        lock_.reset();
        std::fclose(file_);
        file_ = nullptr;
        if (removeOnStop) ForgetTemporary();
    }
    throw FileError(what, Reason(error));
}

AtomicFile::~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!done_) {
        std::error_code ec;
        fs::remove(fs::u8path(temp_), ec);
    }
    if (watched_) ForgetTemporary();
}

void AtomicFile::Fail(int error) {
    throw FileError("cannot write " + target_, Reason(error));
}

void AtomicFile::Write(const void* data, std::size_t size) {
    if (size == 0) return;
    if (!file_) Fail(EBADF);
    if (std::fwrite(data, 1, size, file_) != size) Fail(errno);
}

void AtomicFile::CloseStream(bool sync) {
    if (!file_) return;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && (!sync || SyncToDisk(file_));
    int error = errno;
    // A network disk may tell of a full disk only when the file is closed.
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        error = errno;
    }
    file_ = nullptr;
    if (!ok) Fail(error != 0 ? error : EIO);
}

bool AtomicFile::Commit(bool replace, bool sync) {
    CloseStream(sync);
    if (replace) {
        if (!RenameOver(temp_, target_)) Fail(errno);
    } else if (const std::error_code error = RenameNoReplace(temp_, target_)) {
        if (IsFileExists(error)) return false;
        throw FileError("cannot write " + target_, ErrorReason(error));
    }
    done_ = true;
    lock_.reset();
    return true;
}

int RemoveAbandonedFiles(const std::string& folder) {
    std::error_code ec;
    std::vector<fs::path> candidates;
    for (fs::directory_iterator it(fs::u8path(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        if (IsTemporaryName(it->path().filename().u8string()) && it->is_regular_file(typeError) &&
            !it->is_symlink(typeError))
            candidates.push_back(it->path());
    }
    int removed = 0;
    for (const fs::path& file : candidates) {
        try {
            // Removed while locked, so no new writer can take the name in between.
            FileLock lock(file.u8string(), false);
            if (lock.held() && fs::remove(file, ec)) ++removed;
        } catch (const FileError&) {
            // Not ours to judge (another user's file, say).
        }
    }
    return removed;
}

}  // namespace pellix::os
