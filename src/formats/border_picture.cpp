// Turns any picture into a 256 x 192 border that grit reads.
#include "formats/border_picture.h"

#include "formats/bitmap_writer.h"
#include "formats/picture.h"
#include "formats/picture_scale.h"

namespace pellix::formats {

BorderPicture MakeBorderPicture(const uint8_t* data, size_t size) {
    BorderPicture border;
    const PictureKind kind = DetectPicture(data, size);
    const Picture source = ReadPicture(data, size);
    const bool screenSized = source.width == kBorderWidth && source.height == kBorderHeight;
    if (screenSized && (kind == PictureKind::Bitmap || kind == PictureKind::Png)) {
        border.file.assign(data, data + size);
        return border;
    }
    border.file = EncodeBitmap(CoverPicture(source, kBorderWidth, kBorderHeight));
    border.converted = true;
    return border;
}

}  // namespace pellix::formats
