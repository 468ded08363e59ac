// Writes a Windows icon file (.ico) with 32-bit images whose alpha comes from the canvas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

namespace artwork {

// One square image of an icon: size x size pixels, top-down rows of B, G, R, A bytes,
// colours not premultiplied.
struct IconImage {
    int size = 0;
    std::vector<std::uint8_t> bgra;
};

// The canvas as an icon image: coverage becomes alpha, and the colour of a partly covered
// pixel is taken back out of its mix with `background` (the canvas's own background).
// Throws std::invalid_argument when the canvas is not square.
IconImage ToIconImage(const Canvas& canvas, Colour background);

// The bytes of an .ico file holding `images` in the given order (32-bit DIB entries with an
// AND mask that is set where alpha is below one half, for readers that ignore alpha).
std::vector<std::uint8_t> IconFileBytes(const std::vector<IconImage>& images);

// Writes IconFileBytes(images) to `path`; throws std::runtime_error when it cannot.
void WriteIconFile(const std::string& path, const std::vector<IconImage>& images);

}  // namespace artwork
