// Whole-file reads with short error reasons for the companion programs' messages.
#include "formats/file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "formats/format_error.h"

namespace pellix::formats {

namespace fs = std::filesystem;

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

std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t maxSize) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw FormatError(ErrnoText(EISDIR));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw FormatError(ErrnoText(errno));
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
    if (std::ferror(file)) throw FormatError("cannot read: " + ErrnoText(errno));
    return bytes;
}

PendingOutput::PendingOutput(const std::string& output) : output_(output) {
    const fs::path target = fs::u8path(output);
    const fs::path folder = target.parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec))
        throw FileError(output, "cannot write: no such folder");
    if (fs::is_directory(target, ec)) throw FileError(output, "cannot write: is a folder");
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        temp_ = output + suffix;
        file_ = std::fopen(temp_.c_str(), "wbx");
        if (!file_ && errno != EEXIST) break;
    }
    if (!file_) throw FileError(output, "cannot write: " + ErrnoText(errno));
}

PendingOutput::~PendingOutput() {
    if (file_) {
        std::fclose(file_);
        std::remove(temp_.c_str());
    }
}

void PendingOutput::Write(const uint8_t* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size) Fail();
    position_ += size;
}

void PendingOutput::PadTo(uint64_t offset) {
    static const uint8_t kZeros[4096] = {};
    while (position_ < offset)
        Write(kZeros, static_cast<size_t>(std::min<uint64_t>(sizeof kZeros, offset - position_)));
}

void PendingOutput::Commit() {
    const int flushed = std::fflush(file_);
    const int error = errno;
    const bool failed = flushed != 0 || std::ferror(file_);
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (failed || closed != 0) {
        std::remove(temp_.c_str());
        throw FileError(output_, "cannot write: " + ErrnoText(failed ? error : errno));
    }
    std::error_code ec;
    fs::rename(fs::u8path(temp_), fs::u8path(output_), ec);
    if (ec) {
        std::remove(temp_.c_str());
        throw FileError(output_, "cannot write: " + ErrorText(ec));
    }
}

void PendingOutput::Fail() {
    throw FileError(output_, "cannot write: " + ErrnoText(errno));
}

void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    PendingOutput out(path);
    out.Write(bytes.data(), bytes.size());
    out.Commit();
}

}  // namespace pellix::formats
