// Decodes PNG files through stb_image into a Picture; the alpha channel is dropped.
#include <climits>
#include <cstring>
#include <string>

#include "bmp_format.h"
#include "format_error.h"
#include "picture.h"

// Only the PNG decoder is compiled in, reading from memory; pictures larger than the
// bitmap reader accepts are refused before any pixel memory is taken.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pellix::formats {
namespace {

constexpr uint64_t kMaxExpansion = 1032 * 24;  // decoded RGB bytes per file byte, at most
constexpr uint64_t kSmallPicture = 1 << 16;    // pictures this small are always decoded

static_assert(STBI_MAX_DIMENSIONS == bmp::kMaxDimension, "PNG and bitmap limits agree");

// Frees the decoder's pixel buffer on every path out.
struct StbPixels {
    stbi_uc* data = nullptr;
    ~StbPixels() { stbi_image_free(data); }
};

uint32_t get_u32be(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The decoder sizes its buffers from the chunk lengths a file declares before it checks
// them against the data, so a short file could make it ask for gigabytes: every chunk
// up to IEND must lie within the file. (Signature 8 bytes; chunk: length, type, data, CRC.)
void check_chunks(const uint8_t* data, size_t size) {
    constexpr size_t kSignature = 8, kChunkHead = 8, kChunkFrame = 12;
    size_t at = kSignature;
    while (size - at >= kChunkHead) {
        const size_t length = get_u32be(data + at);
        if (size - at < kChunkFrame || length > size - at - kChunkFrame)
            throw FormatError("corrupt PNG picture: a chunk runs past the end of the file");
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return;
        at += kChunkFrame + length;
    }
}

std::string failure() {
    const char* why = stbi_failure_reason();
    return std::string("corrupt PNG picture: ") + (why != nullptr ? why : "cannot decode");
}

}  // namespace

Picture ReadPng(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(INT_MAX)) throw FormatError("PNG picture too large");
    const int length = static_cast<int>(size);
    if (size >= 8) check_chunks(data, size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels))
        throw FormatError(failure());
    if (width <= 0 || height <= 0 || width > bmp::kMaxDimension || height > bmp::kMaxDimension)
        throw FormatError("PNG picture too large: " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels");

    // Deflate packs at most about 1032 to 1 and a 1-bit pixel becomes 3 bytes, so a file
    // this short cannot hold this many pixels: refuse before the decoder allocates them.
    const uint64_t decodedBytes =
        uint64_t{3} * static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (decodedBytes > static_cast<uint64_t>(size) * kMaxExpansion + kSmallPicture)
        throw FormatError("corrupt PNG picture: too little data for " + std::to_string(width) +
                          " x " + std::to_string(height) + " pixels");

    StbPixels pixels;
    pixels.data = stbi_load_from_memory(data, length, &width, &height, &channels, 3);
    if (pixels.data == nullptr) throw FormatError(failure());

    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = channels * 8;  // what the file holds: grey, grey+alpha, RGB, RGBA
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    picture.pixels.resize(count);
    for (size_t i = 0; i < count; ++i)
        picture.pixels[i] = {pixels.data[3 * i], pixels.data[3 * i + 1], pixels.data[3 * i + 2]};
    return picture;
}

}  // namespace pellix::formats
