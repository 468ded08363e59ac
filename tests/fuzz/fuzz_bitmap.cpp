// Feeds arbitrary bytes to the bitmap reader; whatever it accepts must convert and
// survive a write and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "formats/bitmap16.h"
#include "formats/bitmap_writer.h"
#include "formats/format_error.h"
#include "fuzz_picture_check.h"
#include "formats/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellix::formats;
    Picture picture;
    try {
        picture = ReadBitmap(data, size);
    } catch (const FormatError&) {
        return 0;
    }
    CheckDecodedPicture(picture);
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    (void)ToBitmap16(picture);

    const std::vector<uint8_t> again = EncodeBitmap(picture, size % 2 == 0);
    const Picture back = ReadBitmap(again.data(), again.size());
    if (back.width != picture.width || back.height != picture.height ||
        back.indices != picture.indices ||
        std::memcmp(back.pixels.data(), picture.pixels.data(), count * sizeof(Rgb8)) != 0)
        std::abort();
    return 0;
}
