// Reads a picture file of any supported kind, chosen by its first bytes.
#include <cstring>

#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/picture.h"

namespace pellix::formats {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kJpegSignature[3] = {0xFF, 0xD8, 0xFF};  // start of image, then a marker

bool StartsWith(const uint8_t* data, size_t size, const void* prefix, size_t length) {
    return size >= length && std::memcmp(data, prefix, length) == 0;
}

}  // namespace

PictureKind DetectPicture(const uint8_t* data, size_t size) {
    if (StartsWith(data, size, "BM", 2)) return PictureKind::Bitmap;
    if (StartsWith(data, size, kPngSignature, sizeof kPngSignature)) return PictureKind::Png;
    if (StartsWith(data, size, kJpegSignature, sizeof kJpegSignature)) return PictureKind::Jpeg;
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        return PictureKind::Gif;
    return PictureKind::Unknown;
}

Picture ReadPicture(const uint8_t* data, size_t size) {
    switch (DetectPicture(data, size)) {
        case PictureKind::Bitmap:
            return ReadBitmap(data, size);
        case PictureKind::Png:
            return ReadPng(data, size);
        case PictureKind::Jpeg:
            return ReadJpeg(data, size);
        case PictureKind::Gif:
            return ReadGif(data, size);
        case PictureKind::Unknown:
            break;
    }
    throw FormatError("not a bitmap, PNG, JPEG or GIF picture");
}

Picture ReadPictureFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path, kMaxPictureFileSize);
    return ReadPicture(bytes.data(), bytes.size());
}

}  // namespace pellix::formats
