// Whole-file reads with short error reasons for the companion programs' messages.
#include "formats/file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "formats/format_error.h"
#include "system/atomic_file.h"

namespace pellix::formats {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t maxSize) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw FormatError(os::ErrorReason(EISDIR));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw FormatError(os::ErrorReason(errno));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    const uintmax_t length = std::filesystem::file_size(fs::u8path(path), ec);
    if (!ec && length > maxSize)
        throw FormatError("too large: " + std::to_string(length) + " bytes, at most " +
                          std::to_string(maxSize));
    std::vector<uint8_t> bytes;
    if (!ec) bytes.reserve(static_cast<size_t>(length));
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        // A file that grows while it is read is held to the same limit.
        if (bytes.size() + got > maxSize)
            throw FormatError("too large: more than " + std::to_string(maxSize) + " bytes");
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file)) throw FormatError("cannot read: " + os::ErrorReason(errno));
    return bytes;
}

void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    try {
        os::AtomicFile out(path);
        out.Write(bytes.data(), bytes.size());
        out.Commit();
    } catch (const os::FileError& e) {
        throw FormatError("cannot write: " + e.reason());
    }
}

}  // namespace pellix::formats
