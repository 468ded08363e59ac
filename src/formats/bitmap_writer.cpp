// Encodes pictures as Windows bitmaps for the tests, the artwork generator and the tools.
#include "formats/bitmap_writer.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "formats/bmp_format.h"
#include "formats/byte_order.h"
#include "formats/format_error.h"

namespace pellix::formats {
namespace {

size_t pixel_count(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

void check_picture(const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || picture.width > bmp::kMaxDimension ||
        picture.height > bmp::kMaxDimension)
        throw FormatError("cannot write a bitmap of " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels");
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (picture.paletted()) {
        const int bpp = picture.bitsPerPixel;
        if (bpp != 1 && bpp != 4 && bpp != 8)
            throw FormatError("cannot write a paletted bitmap of " + std::to_string(bpp) +
                              " bits per pixel");
        if (picture.palette.size() > (size_t{1} << bpp))
            throw FormatError("the palette has more entries than " + std::to_string(bpp) +
                              " bits can index");
        if (picture.indices.size() != count)
            throw FormatError("the picture's indices do not match its size");
        for (uint8_t index : picture.indices)
            if (index >= picture.palette.size())
                throw FormatError("a pixel uses a colour outside the palette");
    } else if (picture.pixels.size() != count) {
        throw FormatError("the picture's pixels do not match its size");
    }
}

}  // namespace

std::vector<uint8_t> EncodeBitmap(const Picture& picture, bool topDown) {
    check_picture(picture);
    const bool paletted = picture.paletted();
    const int bpp = paletted ? picture.bitsPerPixel : 24;
    const size_t width = static_cast<size_t>(picture.width);
    const size_t height = static_cast<size_t>(picture.height);
    const size_t rowBytes = (width * static_cast<size_t>(bpp) + 8 * bmp::kRowAlignment - 1) /
                            (8 * bmp::kRowAlignment) * bmp::kRowAlignment;
    const size_t paletteBytes = paletted ? picture.palette.size() * bmp::kPaletteEntrySize : 0;
    const size_t pixelOffset = bmp::kFileHeaderSize + bmp::kInfoHeaderSize + paletteBytes;
    const size_t fileSize = pixelOffset + rowBytes * height;

    std::vector<uint8_t> out(fileSize, 0);
    out[0] = 'B';
    out[1] = 'M';
    put_u32le(out.data() + bmp::kFileSizeOffset, static_cast<uint32_t>(fileSize));
    put_u32le(out.data() + bmp::kPixelOffsetOffset, static_cast<uint32_t>(pixelOffset));
    put_u32le(out.data() + bmp::kInfoSizeOffset, bmp::kInfoHeaderSize);
    put_u32le(out.data() + bmp::kWidthOffset, static_cast<uint32_t>(picture.width));
    const int32_t storedHeight = topDown ? -picture.height : picture.height;
    put_u32le(out.data() + bmp::kHeightOffset, static_cast<uint32_t>(storedHeight));
    put_u16le(out.data() + bmp::kPlanesOffset, 1);
    put_u16le(out.data() + bmp::kBitCountOffset, static_cast<uint16_t>(bpp));
    put_u32le(out.data() + bmp::kCompressionOffset, bmp::kCompressionRgb);
    put_u32le(out.data() + bmp::kImageSizeOffset, static_cast<uint32_t>(rowBytes * height));
    put_u32le(out.data() + bmp::kXPelsOffset, 2835);  // 72 dots per inch
    put_u32le(out.data() + bmp::kYPelsOffset, 2835);
    put_u32le(out.data() + bmp::kClrUsedOffset, static_cast<uint32_t>(picture.palette.size()));

    size_t at = bmp::kFileHeaderSize + bmp::kInfoHeaderSize;
    for (const Rgb8& c : picture.palette) {
        out[at] = c.b;
        out[at + 1] = c.g;
        out[at + 2] = c.r;
        at += bmp::kPaletteEntrySize;
    }

    for (size_t y = 0; y < height; ++y) {
        const size_t fileRow = topDown ? y : height - 1 - y;
        uint8_t* row = out.data() + pixelOffset + fileRow * rowBytes;
        for (size_t x = 0; x < width; ++x) {
            const size_t i = y * width + x;
            if (!paletted) {
                const Rgb8& c = picture.pixels[i];
                row[3 * x] = c.b;
                row[3 * x + 1] = c.g;
                row[3 * x + 2] = c.r;
                continue;
            }
            // Pixels fill each byte from its most significant bits down.
            const size_t bit = x * static_cast<size_t>(bpp);
            const int shift = 8 - bpp - static_cast<int>(bit % 8);
            row[bit / 8] |= static_cast<uint8_t>(picture.indices[i] << shift);
        }
    }
    return out;
}

void WriteBitmapFile(const std::string& path, const Picture& picture, bool topDown) {
    const std::vector<uint8_t> bytes = EncodeBitmap(picture, topDown);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw FormatError("cannot write " + path + ": " + std::strerror(errno));
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw FormatError("cannot write " + path + ": the disk refused the data");
}

Picture MakeRgbPicture(int width, int height, Rgb8 fill) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = 24;
    picture.pixels.assign(pixel_count(width, height), fill);
    return picture;
}

Picture MakePalettedPicture(int width, int height, int bitsPerPixel, std::vector<Rgb8> palette) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bitsPerPixel = bitsPerPixel;
    const size_t count = pixel_count(width, height);
    picture.indices.assign(count, 0);
    picture.pixels.assign(count, palette.empty() ? Rgb8{} : palette[0]);
    picture.palette = std::move(palette);
    return picture;
}

}  // namespace pellix::formats
