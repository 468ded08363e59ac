// Feeds arbitrary bytes to the LZ77 decompressor, and round-trips them through the compressor.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/format_error.h"
#include "formats/lz77.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellix::formats;
    try {
        (void)DecompressLz77(data, size);
    } catch (const FormatError&) {
    }
    const std::vector<uint8_t> packed = CompressLz77(data, size);
    if (DecompressLz77(packed) != std::vector<uint8_t>(data, data + size)) std::abort();
    return 0;
}
