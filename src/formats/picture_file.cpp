// Reads a picture file of either supported kind, chosen by its first bytes.
#include <cstring>

#include "format_error.h"
#include "picture.h"
#include "file_bytes.h"

namespace pellix::formats {
namespace {

// No picture the tool handles comes near this; it keeps a stray huge file out of memory.
constexpr uint64_t kMaxPictureFileSize = 256ull << 20;

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

Picture ReadPictureFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path, kMaxPictureFileSize);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return ReadBitmap(bytes.data(), bytes.size());
    if (bytes.size() >= sizeof kPngSignature &&
        std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0)
        return ReadPng(bytes.data(), bytes.size());
    throw FormatError("not a bitmap or PNG picture");
}

}  // namespace pellix::formats
