// Writes pictures as Windows bitmaps: 24-bit true colour or 1/4/8-bit paletted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/picture.h"

namespace pellix::formats {

// Encodes `picture` as a Windows bitmap with a 40-byte BITMAPINFOHEADER.
// A paletted picture (palette not empty) is written with its bitsPerPixel (1, 4 or 8),
// its palette (biClrUsed = palette size) and its indices; any other picture is written
// as 24 bits from its pixels. Rows are bottom-up unless `topDown` is set (negative height).
// Throws FormatError when the picture is inconsistent (sizes, depth, indices out of range).
std::vector<uint8_t> EncodeBitmap(const Picture& picture, bool topDown = false);

// Writes EncodeBitmap(picture, topDown) to `path`, replacing any file there.
// Throws FormatError ("cannot write PATH: reason") when the file cannot be written.
void WriteBitmapFile(const std::string& path, const Picture& picture, bool topDown = false);

// Builds a true-colour picture of the given size, every pixel `fill`.
Picture MakeRgbPicture(int width, int height, Rgb8 fill = {});

// Builds a paletted picture of the given size and depth, every index 0.
Picture MakePalettedPicture(int width, int height, int bitsPerPixel, std::vector<Rgb8> palette);

}  // namespace pellix::formats
