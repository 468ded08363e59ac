// The DS menu icon made from any picture: 32 x 32 pixels, 16 colours, index 0 transparent.
//
// The build stages the icon it makes here as icon.bmp for ndstool, and the preview
// window shows the same icon, so what the preview shows is what the package holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/picture.h"

namespace pellix::formats {

// The icon of one picture file.
struct MenuIcon {
    // 32 x 32, paletted, indices 0 to 15, top-down. A converted icon is 4 bits per pixel
    // with 16 palette entries, index 0 for the transparent pixels and nothing else.
    Picture picture;
    // The bitmap file ndstool is given: the source's own bytes when it already was a DS
    // icon, else the 4-bit bitmap of `picture`.
    std::vector<uint8_t> file;
    // False when the source was used byte for byte.
    bool converted = false;
};

// Makes the DS menu icon of a picture file's bytes (Windows bitmap of any depth, PNG,
// JPEG or GIF, told apart by their first bytes).
// - A 32 x 32 paletted bitmap whose pixels use indices 0 to 15 is used as it is (its
//   index 0 is transparent on the DS, as always).
// - Any other picture is scaled to fit 32 x 32 keeping its aspect (FitPicture), centred;
//   pixels less than half opaque, and the box around a picture that is not square, become
//   index 0; the rest are reduced to at most 15 DS colours (ChoosePalette), each pixel
//   taking the nearest in Oklab, without dithering.
// Throws FormatError with the reason alone ("not a bitmap, PNG, JPEG or GIF picture",
// "truncated JPEG picture: ..."); the caller names the file.
MenuIcon MakeMenuIcon(const uint8_t* data, size_t size);

// Reads a picture file and makes its icon as above. Throws FormatError with the reason
// alone ("no such file", ...).
MenuIcon ReadMenuIconFile(const std::string& path);

// One pixel for display: colour and opacity (0 clear, 255 opaque).
struct Rgba8 {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

// What the DS menu shows of `icon` (a MenuIcon's picture, or any 32 x 32 picture with
// a palette of up to 16 colours): 32 x 32 pixels, top-down and row-major; index 0 fully
// transparent (colour 0, 0, 0), every other index opaque in its colour at the DS's 5-bit
// precision. Throws FormatError when `icon` is not such a picture.
std::vector<Rgba8> MenuIconRgba(const Picture& icon);

}  // namespace pellix::formats
