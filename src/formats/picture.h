// Pictures read from Windows bitmaps and PNG files, in one in-memory form.
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
    std::vector<Rgb8> pixels;      // always: one colour per pixel (alpha dropped)
    bool paletted() const { return !palette.empty(); }
};

// Decodes a Windows bitmap (1, 4, 8, 16, 24, 32 bits; BITMAPINFOHEADER or later, also
// BITFIELDS; the OS/2 core header for 1, 4, 8 and 24 bits; bottom-up and top-down).
// Paletted depths keep the palette the header declares (biClrUsed, 0 = all 2^bits) and
// every pixel's index. RLE and embedded JPEG/PNG are refused. Throws FormatError with a
// one-line reason ("truncated bitmap: the pixel data ends early", ...).
Picture ReadBitmap(const uint8_t* data, size_t size);

// Decodes a PNG file through stb_image (Debian libstb-dev); palette and alpha are not
// kept, so the result is never paletted. Throws FormatError with a one-line reason
// ("corrupt PNG picture: ...").
Picture ReadPng(const uint8_t* data, size_t size);

// Reads a bitmap or PNG file, chosen by its first bytes. Throws FormatError whose
// message is the problem alone, without the path ("no such file", "not a bitmap or PNG
// picture", ...): callers put the file name in front, as in "grit: border.bmp: no such file".
Picture ReadPictureFile(const std::string& path);

}  // namespace pellix::formats
