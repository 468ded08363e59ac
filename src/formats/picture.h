// Pictures read from Windows bitmaps, PNG, JPEG and GIF files, in one in-memory form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellix::formats {

struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
};

// A decoded picture, top-down and row-major whatever the file's row order.
struct Picture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;          // of the source file (1, 4, 8, 16, 24, 32)
    std::vector<Rgb8> palette;     // paletted sources: the entries the file declares
    std::vector<uint8_t> indices;  // paletted sources: one palette index per pixel
    std::vector<Rgb8> pixels;      // always: one colour per pixel, not premultiplied
    // Sources with transparency: one opacity per pixel (0 clear, 255 opaque). Empty when
    // every pixel is opaque, so readers that ignore alpha see the picture unchanged.
    std::vector<uint8_t> alpha;
    bool paletted() const { return !palette.empty(); }
    bool hasAlpha() const { return !alpha.empty(); }
};

// Decoders refuse pictures of more pixels than this before they allocate any (64 Mi, as
// 8192 x 8192 or a 50-megapixel photo); with the per-side limit of 16384 it keeps a
// picture's memory, in the decoder and here, within a few hundred megabytes.
constexpr uint64_t kMaxPicturePixels = uint64_t{1} << 26;

// Decodes a Windows bitmap (1, 4, 8, 16, 24, 32 bits; BITMAPINFOHEADER or later, also
// BITFIELDS; the OS/2 core header for 1, 4, 8 and 24 bits; bottom-up and top-down).
// Paletted depths keep the palette the header declares (biClrUsed, 0 = all 2^bits) and
// every pixel's index. A 16- or 32-bit bitmap whose header declares an alpha mask keeps
// its alpha, unless every pixel's alpha is 0 (writers that leave the channel unused).
// RLE and embedded JPEG/PNG are refused. Throws FormatError with a one-line reason
// ("truncated bitmap: the pixel data ends early", ...).
Picture ReadBitmap(const uint8_t* data, size_t size);

// Decodes a PNG file through stb_image (Debian libstb-dev); the result is never
// paletted, and keeps alpha when some pixel is not opaque. Throws FormatError with a
// one-line reason ("corrupt PNG picture: ...").
Picture ReadPng(const uint8_t* data, size_t size);

// Decodes a JPEG file (baseline or progressive) through stb_image. Throws FormatError
// ("truncated JPEG picture: ...", "corrupt JPEG picture: ...").
Picture ReadJpeg(const uint8_t* data, size_t size);

// Decodes the first frame of a GIF file through stb_image, at the size of the GIF's
// screen; the transparent colour becomes alpha 0. Throws FormatError
// ("truncated GIF picture: ...", "corrupt GIF picture: ...").
Picture ReadGif(const uint8_t* data, size_t size);

enum class PictureKind { Unknown, Bitmap, Png, Jpeg, Gif };

// The kind of picture a file holds, told by its first bytes alone.
PictureKind DetectPicture(const uint8_t* data, size_t size);

// Decodes a picture of any kind above, chosen by its first bytes. Throws FormatError
// ("not a bitmap, PNG, JPEG or GIF picture", or the decoder's reason).
Picture ReadPicture(const uint8_t* data, size_t size);

// Reads a picture file of any kind above. Throws FormatError whose message is the
// problem alone, without the path ("no such file", "not a bitmap, PNG, JPEG or GIF
// picture", ...): callers put the file name in front, as in "grit: border.bmp: no such file".
Picture ReadPictureFile(const std::string& path);

// The largest picture file read whole (256 MiB); no picture the tool handles comes near it.
constexpr uint64_t kMaxPictureFileSize = 256ull << 20;

}  // namespace pellix::formats
