// Whole-file reads and all-or-nothing file replacement on top of the C++ library.
#include "whole_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "format_error.h"

namespace pellix::formats {
namespace fs = std::filesystem;

namespace {

// A lower-case one-line reason for a failed file operation, the way the tools print it.
std::string reason(const std::error_code& ec) {
    if (ec == std::errc::no_such_file_or_directory) return "no such file";
    if (ec == std::errc::permission_denied) return "permission denied";
    if (ec == std::errc::is_a_directory) return "is a folder, not a file";
    std::string text = ec.message();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string reason_from_errno() {
    return reason(std::error_code(errno, std::generic_category()));
}

std::string temp_name_for(const std::string& path) {
    std::random_device source;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(source()));
    return path + suffix;
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path, uint64_t maxSize) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) throw FormatError(ec ? reason(ec) : "no such file");
    if (fs::is_directory(status)) throw FormatError("is a folder, not a file");

    std::ifstream file(path, std::ios::binary);
    if (!file) throw FormatError("cannot open: " + reason_from_errno());
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    if (length < 0) throw FormatError("cannot read the file's length");
    if (static_cast<uint64_t>(length) > maxSize)
        throw FormatError("too large: " + std::to_string(length) + " bytes, at most " +
                          std::to_string(maxSize));
    file.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (!bytes.empty() &&
        !file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length)))
        throw FormatError("cannot read: the file ended early or could not be read");
    return bytes;
}

void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temp = temp_name_for(path);
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (!file) throw FormatError("cannot write: " + reason_from_errno());
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            throw FormatError("cannot write: the disk refused the data");
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw FormatError("cannot write: " + reason(ec));
    }
}

}  // namespace pellix::formats
