// The DS's 16-bit bitmap form: what the border picture becomes before it is compressed.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/picture.h"

namespace pellix::formats {

// The DS colour of one pixel: BGR555, (r>>3) | (g>>3)<<5 | (b>>3)<<10, bit 15 clear.
uint16_t ToBgr555(Rgb8 colour);

// Converts `picture` to raw 16-bit pixels, top-down and row-major, each pixel BGR555
// little-endian, each row padded with zero pixels to a multiple of 4 bytes (so an odd
// width gains one pixel). No header.
std::vector<uint8_t> ToBitmap16(const Picture& picture);

}  // namespace pellix::formats
