// Feeds arbitrary bytes to the PNG reader (stb_image underneath).
#include <cstdint>
#include <cstdlib>

#include "bitmap16.h"
#include "format_error.h"
#include "picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellix::formats;
    try {
        const Picture picture = ReadPng(data, size);
        if (picture.pixels.size() !=
            static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height))
            std::abort();
        (void)ToBitmap16(picture);
    } catch (const FormatError&) {
    }
    return 0;
}
