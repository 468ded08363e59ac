// Feeds arbitrary bytes to the JPEG reader (a segment walk, then stb_image).
#include <cstdint>

#include "formats/format_error.h"
#include "fuzz_picture_check.h"
#include "formats/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        CheckDecodedPicture(pellix::formats::ReadJpeg(data, size));
    } catch (const pellix::formats::FormatError&) {
    }
    return 0;
}
