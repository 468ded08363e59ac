// Whole-file reads with short error reasons for the companion programs' messages.
#include "file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "format_error.h"

namespace pellix::formats {

std::string ErrnoText(int error) {
    switch (error) {
        case ENOENT:
            return "no such file";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EISDIR:
            return "is a folder";
        case ENOTDIR:
            return "a part of the path is not a folder";
        case ENOSPC:
            return "the disk is full";
        case EROFS:
            return "the disk is read-only";
        default:
            break;
    }
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

std::string ErrorText(const std::error_code& error) {
    if (error.category() == std::generic_category() || error.category() == std::system_category()) {
        return ErrnoText(error.value());
    }
    return error.message();
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw FormatError(ErrnoText(EISDIR));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw FormatError(ErrnoText(errno));
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) throw FormatError("cannot read: " + ErrnoText(error));
    return bytes;
}

}  // namespace pellix::formats
