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
// BITFIELDS; bottom-up and top-down). Throws FormatError with a one-line reason.
Picture ReadBitmap(const uint8_t* data, size_t size);

// Decodes a PNG file through stb_image (Debian libstb-dev). Throws FormatError with a one-line reason.
Picture ReadPng(const uint8_t* data, size_t size);

// Reads a bitmap or PNG file, chosen by its first bytes. Throws FormatError
// ("cannot open PATH: no such file", "...: not a bitmap or PNG picture", ...).
Picture ReadPictureFile(const std::string& path);

}  // namespace pellix::formats
