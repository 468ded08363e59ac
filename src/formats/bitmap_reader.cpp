// Decodes Windows bitmap files of every uncompressed depth into a Picture.
#include <cstring>
#include <string>

#include "formats/bmp_format.h"
#include "formats/byte_order.h"
#include "formats/format_error.h"
#include "formats/picture.h"

namespace pellix::formats {
namespace {

// One colour channel of a 16- or 32-bit pixel, described by its mask.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;     // position of the mask's lowest bit
    uint64_t max = 0;  // largest value the channel can hold after shifting

    explicit Channel(uint32_t m) : mask(m) {
        if (mask == 0) return;
        while (((mask >> shift) & 1u) == 0) ++shift;
        int top = 31;
        while (((mask >> top) & 1u) == 0) --top;
        max = (uint64_t{1} << (top - shift + 1)) - 1;
    }

    // Scales the channel to 0..255 so that a 5-bit value v comes back as v after >> 3.
    uint8_t Extract(uint32_t pixel) const {
        if (max == 0) return 0;
        const uint64_t value = (pixel & mask) >> shift;
        return static_cast<uint8_t>((value * 255 + max / 2) / max);
    }
};

std::string size_text(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

Picture read_pixels(const uint8_t* data, size_t size, size_t pixelOffset, int64_t width,
                    int64_t height, bool topDown, int bpp, std::vector<Rgb8> palette,
                    const Channel& red, const Channel& green, const Channel& blue,
                    const Channel& alpha) {
    if (width <= 0 || height <= 0)
        throw FormatError("bad bitmap size: " + size_text(width, height) + " pixels");
    if (width > bmp::kMaxDimension || height > bmp::kMaxDimension)
        throw FormatError("bitmap too large: " + size_text(width, height) + " pixels, at most " +
                          std::to_string(bmp::kMaxDimension) + " on each side");
    const uint64_t rowBytes =
        (static_cast<uint64_t>(width) * static_cast<uint64_t>(bpp) + 31) / 32 * 4;
    if (pixelOffset > size || rowBytes * static_cast<uint64_t>(height) > size - pixelOffset)
        throw FormatError("truncated bitmap: the pixel data ends early");
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPicturePixels)
        throw FormatError("bitmap too large: " + size_text(width, height) + " pixels, at most " +
                          std::to_string(kMaxPicturePixels) + " pixels");

    Picture picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.bitsPerPixel = bpp;
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    picture.pixels.resize(w * h);
    const bool paletted = bpp <= 8;
    if (paletted) picture.indices.resize(w * h);
    if (alpha.max != 0) picture.alpha.resize(w * h);

    for (size_t y = 0; y < h; ++y) {
        const size_t fileRow = topDown ? y : h - 1 - y;
        const uint8_t* row = data + pixelOffset + fileRow * static_cast<size_t>(rowBytes);
        Rgb8* out = picture.pixels.data() + y * w;
        for (size_t x = 0; x < w; ++x) {
            switch (bpp) {
                case 1:
                case 4:
                case 8: {
                    // Pixels fill each byte from its most significant bits down.
                    const size_t bit = x * static_cast<size_t>(bpp);
                    const int shift = 8 - bpp - static_cast<int>(bit % 8);
                    const uint8_t index =
                        static_cast<uint8_t>((row[bit / 8] >> shift) & ((1u << bpp) - 1));
                    if (index >= palette.size())
                        throw FormatError("bad bitmap: a pixel uses colour " +
                                          std::to_string(index) + " but the palette has " +
                                          std::to_string(palette.size()));
                    picture.indices[y * w + x] = index;
                    out[x] = palette[index];
                    break;
                }
                case 16: {
                    const uint32_t pixel = get_u16le(row + 2 * x);
                    out[x] = {red.Extract(pixel), green.Extract(pixel), blue.Extract(pixel)};
                    if (alpha.max != 0) picture.alpha[y * w + x] = alpha.Extract(pixel);
                    break;
                }
                case 24:
                    out[x] = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
                    break;
                default: {  // 32
                    const uint32_t pixel = get_u32le(row + 4 * x);
                    out[x] = {red.Extract(pixel), green.Extract(pixel), blue.Extract(pixel)};
                    if (alpha.max != 0) picture.alpha[y * w + x] = alpha.Extract(pixel);
                    break;
                }
            }
        }
    }
    if (paletted) picture.palette = std::move(palette);
    // An alpha channel that is all 0 was left unused by the writer; one that is all 255
    // says nothing. Either way the picture is opaque.
    bool clear = true, opaque = true;
    for (uint8_t a : picture.alpha) {
        clear = clear && a == 0;
        opaque = opaque && a == 255;
    }
    if (clear || opaque) std::vector<uint8_t>().swap(picture.alpha);
    return picture;
}

// Reads `count` palette entries of `entrySize` bytes (blue, green, red[, reserved]) at `at`.
std::vector<Rgb8> read_palette(const uint8_t* data, size_t size, size_t at, size_t count,
                               size_t entrySize) {
    if (at > size || count * entrySize > size - at)
        throw FormatError("truncated bitmap: the palette ends early");
    std::vector<Rgb8> palette(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = data + at + i * entrySize;
        palette[i] = {p[2], p[1], p[0]};
    }
    return palette;
}

void check_depth(int bpp) {
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        throw FormatError("unsupported bitmap depth: " + std::to_string(bpp) + " bits per pixel");
}

// The OS/2 1.x header: 16-bit sizes, rows always bottom-up, three-byte palette entries.
Picture read_core(const uint8_t* data, size_t size, size_t pixelOffset) {
    const size_t headerEnd = bmp::kFileHeaderSize + bmp::kCoreHeaderSize;
    if (size < headerEnd) throw FormatError("truncated bitmap: the header ends early");
    const uint8_t* h = data + bmp::kFileHeaderSize;
    const int64_t width = get_u16le(h + 4);
    const int64_t height = get_u16le(h + 6);
    const int bpp = get_u16le(h + 10);
    check_depth(bpp);
    if (bpp == 16 || bpp == 32)
        throw FormatError("unsupported bitmap depth: " + std::to_string(bpp) +
                          " bits per pixel in an OS/2 bitmap");
    std::vector<Rgb8> palette;
    if (bpp <= 8)
        palette = read_palette(data, size, headerEnd, size_t{1} << bpp, bmp::kCorePaletteEntrySize);
    const Channel none(0);
    return read_pixels(data, size, pixelOffset, width, height, false, bpp, std::move(palette), none,
                       none, none, none);
}

}  // namespace

Picture ReadBitmap(const uint8_t* data, size_t size) {
    if (size < 2 || data[0] != 'B' || data[1] != 'M') throw FormatError("not a Windows bitmap");
    if (size < bmp::kFileHeaderSize + 4)
        throw FormatError("truncated bitmap: the header ends early");
    const size_t pixelOffset = get_u32le(data + bmp::kPixelOffsetOffset);
    const uint32_t headerSize = get_u32le(data + bmp::kInfoSizeOffset);
    if (headerSize == bmp::kCoreHeaderSize) return read_core(data, size, pixelOffset);
    if (headerSize < bmp::kInfoHeaderSize || headerSize > bmp::kMaxHeaderSize)
        throw FormatError("unsupported bitmap header of " + std::to_string(headerSize) + " bytes");
    const size_t headerEnd = bmp::kFileHeaderSize + headerSize;
    if (size < headerEnd) throw FormatError("truncated bitmap: the header ends early");

    const int64_t width = static_cast<int32_t>(get_u32le(data + bmp::kWidthOffset));
    const int64_t storedHeight = static_cast<int32_t>(get_u32le(data + bmp::kHeightOffset));
    const bool topDown = storedHeight < 0;
    const int64_t height = topDown ? -storedHeight : storedHeight;
    const int bpp = get_u16le(data + bmp::kBitCountOffset);
    const uint32_t compression = get_u32le(data + bmp::kCompressionOffset);
    const uint32_t colorsUsed = get_u32le(data + bmp::kClrUsedOffset);

    switch (compression) {
        case bmp::kCompressionRgb:
        case bmp::kCompressionBitfields:
        case bmp::kCompressionAlphaBitfields:
            break;
        case bmp::kCompressionRle8:
        case bmp::kCompressionRle4:
            throw FormatError("compressed (RLE) bitmaps are not supported; save it uncompressed");
        case bmp::kCompressionJpeg:
        case bmp::kCompressionPng:
            throw FormatError("bitmaps holding JPEG or PNG data are not supported");
        default:
            throw FormatError("unsupported bitmap compression " + std::to_string(compression));
    }
    check_depth(bpp);
    const bool masked = compression != bmp::kCompressionRgb;
    if (masked && bpp != 16 && bpp != 32)
        throw FormatError("bad bitmap: colour masks on a " + std::to_string(bpp) + "-bit bitmap");

    std::vector<Rgb8> palette;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
    if (bpp <= 8) {
        // The palette follows the header, as long as the header declares it (0 = full).
        const size_t full = size_t{1} << bpp;
        const size_t count = colorsUsed == 0 || colorsUsed > full ? full : colorsUsed;
        palette = read_palette(data, size, headerEnd, count, bmp::kPaletteEntrySize);
    } else if (masked) {
        // A 40-byte header is followed by the masks; later headers hold them.
        if (size < bmp::kBlueMaskOffset + 4)
            throw FormatError("truncated bitmap: the colour masks end early");
        redMask = get_u32le(data + bmp::kRedMaskOffset);
        greenMask = get_u32le(data + bmp::kGreenMaskOffset);
        blueMask = get_u32le(data + bmp::kBlueMaskOffset);
        // The alpha mask: in a V3 or later header, or the fourth mask after a 40-byte one.
        const bool alphaMasked =
            headerSize >= bmp::kV3HeaderSize || compression == bmp::kCompressionAlphaBitfields;
        if (alphaMasked && size >= bmp::kAlphaMaskOffset + 4)
            alphaMask = get_u32le(data + bmp::kAlphaMaskOffset);
    } else if (bpp == 16) {
        redMask = 0x7C00;  // 5-5-5
        greenMask = 0x03E0;
        blueMask = 0x001F;
    } else if (bpp == 32) {
        redMask = 0x00FF0000;
        greenMask = 0x0000FF00;
        blueMask = 0x000000FF;
    }
    return read_pixels(data, size, pixelOffset, width, height, topDown, bpp, std::move(palette),
                       Channel(redMask), Channel(greenMask), Channel(blueMask), Channel(alphaMask));
}

}  // namespace pellix::formats
