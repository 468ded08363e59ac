// Feeds arbitrary bytes to the GIF reader (a block walk, then stb_image).
#include <cstdint>

#include "formats/format_error.h"
#include "fuzz_picture_check.h"
#include "formats/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        CheckDecodedPicture(pellix::formats::ReadGif(data, size));
    } catch (const pellix::formats::FormatError&) {
    }
    return 0;
}
