// The staging file helpers: copy, test, measure, delete and numbered binary writes.
#include "builder/staging_files.h"

#include "builder/build_paths.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <vector>


namespace fs = std::filesystem;

namespace pellix::files {

std::array<std::int32_t, 256> NextWritePos{};

namespace {

// One slot of the process-wide table of numbered files.
struct Slot {
    bool taken = false;                  // handed out and not closed yet
    std::unique_ptr<std::fstream> file;  // null when the open failed
};

// The table; slot 0 is never used. Every use of the table and of NextWritePos is made under
// g_filesMutex, so builds in several threads each get numbers of their own.
std::mutex g_filesMutex;
std::array<Slot, 256> g_files;

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (tail.size() > text.size()) return false;
    return std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

fs::path ToPath(const std::string& path) {
    // UTF-8 throughout; on Windows this yields the wide path the file functions want.
    return fs::u8path(path);
}

std::string BaseName(const std::string& path, const std::string& extension) {
    std::string work = path;
    if (EndsWithNoCase(path, extension)) work.resize(path.size() - extension.size());
    // The last separator of the whole path decides, so a path that is nothing but the
    // extension after a separator gives "".
    std::size_t slash = path.size();
    while (slash > 0 && !paths::IsSeparator(path[slash - 1])) --slash;
    if (slash == 0) return work;
    --slash;
    if (slash + 1 >= work.size()) return "";
    return work.substr(slash + 1);
}

namespace {


CopyBytesFunction g_copyBytes = &os::CopyFileBytes;

constexpr const char kNotAFile[] = "it is not a file or a folder (a pipe, socket or device)";

// The checks both copies make first, so the message names the side that is wrong; the
// copy itself says only "no such file" for either.
void CheckCopy(const std::string& what, const fs::path& from, const fs::path& to) {
    std::error_code ec;
    const fs::file_status status = fs::status(from, ec);
    if (!fs::exists(status)) throw FileError(what, "no such file");
    if (fs::is_directory(status)) throw FileError(what, "the source is a folder");
    if (!fs::is_regular_file(status)) throw FileError(what, kNotAFile);
    const fs::path folder = to.parent_path();
    if (!folder.empty()) {
        const fs::file_status folderStatus = fs::status(folder, ec);
        if (fs::exists(folderStatus) && !fs::is_directory(folderStatus))
            throw FileError(what, folder.u8string() + " is a file, not a folder");
        if (!fs::is_directory(folderStatus))
            throw FileError(what, "the folder " + folder.u8string() + " does not exist");
    }
    if (fs::is_directory(to, ec)) throw FileError(what, "the destination is a folder");
    // Emptying the destination first would destroy the source.
    if (fs::equivalent(from, to, ec))
        throw FileError(what, "the source and the destination are the same file");
}

// Why a copy to `to` failed, for the user.
std::string CopyFailureReason(const std::error_code& error, const fs::path& to) {
    if (IsDiskFull(error)) {
        const fs::path folder = to.parent_path();
        return "the disk holding " + (folder.empty() ? std::string(".") : folder.u8string()) +
               " is full";
    }
    // The system's copy refuses to read anything but a regular file.
    if (error == std::errc::invalid_argument) return kNotAFile;
    return ErrorReason(error);
}

// A name for a file written beside one of `finalLength` bytes: never longer than that
// name, so it fits wherever the final name fits.
std::string TemporaryName(std::size_t finalLength, unsigned random) {
    char name[32];
    std::snprintf(name, sizeof name, ".pellix-%08x.part", random);
    if (finalLength >= std::strlen(name)) return name;
    std::snprintf(name, sizeof name, ".%08x%08x", random, random * 2654435761u);
    return std::string(name, std::max<std::size_t>(finalLength, 2));
}

}  // namespace

CopyBytesFunction SetCopyBytes(CopyBytesFunction copy) {
    const CopyBytesFunction before = g_copyBytes;
    g_copyBytes = copy ? copy : &os::CopyFileBytes;
    return before;
}

bool CopyFileTo(const std::string& source, const std::string& destination) {
    const std::string what = "cannot copy " + source + " to " + destination;
    const fs::path from = ToPath(source);
    const fs::path to = ToPath(destination);
    CheckCopy(what, from, to);
    if (const std::error_code error = g_copyBytes(from, to, false))
        throw FileError(what, CopyFailureReason(error, to));
    // The copy keeps the original's time, as the system's copy does on Windows: gzip stores
    // the staged ROM's time in the package, which must not depend on when it was built.
    const os::FileFacts original = os::Inspect(source);
    if (original.exists && !os::SetModificationTime(destination, original.mtime))
        throw FileError(what, "cannot give the copy the original's time");
    return FileExists(destination);
}

std::string CopyFileBeside(const std::string& source, const std::string& destination) {
    const std::string what = "cannot copy " + source + " to " + destination;
    const fs::path from = ToPath(source);
    CheckCopy(what, from, ToPath(destination));
    std::random_device random;
    std::error_code error;
    const std::string finalName = BaseName(destination, "");
    const std::string folder = destination.substr(0, destination.size() - finalName.size());
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string name = folder + TemporaryName(finalName.size(), random());
        error = g_copyBytes(from, ToPath(name), true);
        if (!error) return name;
        // Someone else's file of that name is left alone; any other failure left our own.
        if (os::IsFileExists(error)) continue;
        std::error_code ignored;
        fs::remove(ToPath(name), ignored);
        throw FileError(what, CopyFailureReason(error, ToPath(name)));
    }
    throw FileError(what, "no free temporary name beside it");
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::is_regular_file(ToPath(path), ec);
}

std::int32_t FileSizeOrZero(const std::string& path) {
    if (path.empty()) return 0;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(ToPath(path), ec);
    if (ec) return 0;
    // A length beyond the 32-bit range is reported as the largest one rather than wrapped,
    // so a caller comparing against a size limit still sees a large file.
    constexpr auto kMax = static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(std::min(size, kMax));
}

std::int16_t OpenBinary(const std::string& path) {
    const std::lock_guard<std::mutex> lock(g_filesMutex);
    std::int16_t number = 0;
    for (std::int16_t n = 1; n <= 255; ++n) {
        if (!g_files[n].taken) {
            number = n;
            break;
        }
    }
    if (number == 0) return 0;
    // A number whose open fails stays taken until it is closed, so another thread's open
    // cannot receive it while the caller still writes and closes through it.
    g_files[number].taken = true;
    const fs::path p = ToPath(path);
    auto file = std::make_unique<std::fstream>(p, std::ios::in | std::ios::out | std::ios::binary);
    if (!file->is_open()) {
        // Missing: create it without truncating anything that appeared meanwhile.
        { std::ofstream create(p, std::ios::out | std::ios::app | std::ios::binary); }
        file->open(p, std::ios::in | std::ios::out | std::ios::binary);
    }
    if (!file->is_open()) return number;
    g_files[number].file = std::move(file);
    NextWritePos[number] = 1;
    return number;
}

void WriteBinary(std::int16_t fileNumber, const std::string& text, std::int32_t count) {
    if (fileNumber < 0 || fileNumber > 255) return;
    const std::lock_guard<std::mutex> lock(g_filesMutex);
    std::fstream* file = g_files[fileNumber].file.get();
    if (!file) return;
    std::string bytes = text;
    if (count > 0 && static_cast<std::size_t>(count) < bytes.size()) bytes.resize(count);
    if (bytes.empty()) return;
    const std::int32_t pos = NextWritePos[fileNumber];
    if (pos < 1) return;
    file->clear();
    file->seekp(static_cast<std::streamoff>(pos) - 1);
    file->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file->flush();
    if (!*file) {
        file->clear();
        return;
    }
    NextWritePos[fileNumber] = pos + static_cast<std::int32_t>(bytes.size());
}

bool CloseBinary(std::int16_t fileNumber) {
    if (fileNumber < 0 || fileNumber > 255) return false;
    std::unique_ptr<std::fstream> file;
    {
        const std::lock_guard<std::mutex> lock(g_filesMutex);
        file = std::move(g_files[fileNumber].file);
        g_files[fileNumber].taken = false;
    }
    if (!file) return true;
    file->close();
    return !file->fail();
}

bool RemoveFileIfPresent(const std::string& path) {
    std::error_code ec;
    if (!path.empty() && fs::is_regular_file(ToPath(path), ec)) fs::remove(ToPath(path), ec);
    return !FileExists(path);
}

}  // namespace pellix::files
