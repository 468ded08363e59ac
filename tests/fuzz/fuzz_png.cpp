// Feeds arbitrary bytes to the PNG reader (stb_image underneath).
#include <cstdint>
#include <cstdlib>

#include "formats/bitmap16.h"
#include "formats/format_error.h"
#include "fuzz_picture_check.h"
#include "formats/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellix::formats;
    try {
        const Picture picture = ReadPng(data, size);
        CheckDecodedPicture(picture);
        (void)ToBitmap16(picture);
    } catch (const FormatError&) {
    }
    return 0;
}
