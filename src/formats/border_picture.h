// The border picture made from any picture: what grit turns into the DS's top screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellix::formats {

// The DS screen the border fills.
constexpr int kBorderWidth = 256;
constexpr int kBorderHeight = 192;

// The border file of one picture.
struct BorderPicture {
    // The file grit is given: the source's own bytes when it is used as it is, else a
    // 24-bit Windows bitmap of 256 x 192 pixels.
    std::vector<uint8_t> file;
    bool converted = false;  // false when the source is used byte for byte
};

// Makes the border of a picture file's bytes (bitmap, PNG, JPEG or GIF). A 256 x 192
// bitmap or PNG is used as it is (grit reads both). Any other picture is scaled to cover
// 256 x 192 keeping its aspect, centred, the overflow cropped (CoverPicture), and written
// as a 24-bit bitmap; a 256 x 192 JPEG or GIF is only re-encoded. Throws FormatError
// with the reason alone; the caller names the file.
BorderPicture MakeBorderPicture(const uint8_t* data, size_t size);

}  // namespace pellix::formats
