// Converts decoded pictures to the DS's 16-bit BGR555 bitmap layout.
#include "formats/bitmap16.h"

#include "formats/byte_order.h"
#include "formats/format_error.h"

namespace pellix::formats {

uint16_t ToBgr555(Rgb8 colour) {
    return static_cast<uint16_t>((colour.r >> 3) | ((colour.g >> 3) << 5) |
                                 ((colour.b >> 3) << 10));
}

std::vector<uint8_t> ToBitmap16(const Picture& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() !=
            static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height))
        throw FormatError("the picture's pixels do not match its size");
    const size_t width = static_cast<size_t>(picture.width);
    const size_t height = static_cast<size_t>(picture.height);
    const size_t rowBytes = (width * 2 + 3) / 4 * 4;
    std::vector<uint8_t> out(rowBytes * height, 0);
    for (size_t y = 0; y < height; ++y) {
        uint8_t* row = out.data() + y * rowBytes;
        for (size_t x = 0; x < width; ++x)
            put_u16le(row + 2 * x, ToBgr555(picture.pixels[y * width + x]));
    }
    return out;
}

}  // namespace pellix::formats
