// Feeds arbitrary bytes to gzip -d's reader, and round-trips them through a packed member.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/format_error.h"
#include "gzip/gzip_member.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellix::gzip;
    // Well above any input's real output, well below the fuzzer's memory limit.
    constexpr size_t kLimit = size_t{64} << 20;
    try {
        (void)UnpackMembers(data, size, kLimit);
    } catch (const pellix::formats::FormatError&) {
    }
    const std::vector<uint8_t> packed =
        PackMember(data, size, static_cast<int>(1 + size % 9), {"fuzz", 0});
    if (UnpackMembers(packed.data(), packed.size(), size) !=
        std::vector<uint8_t>(data, data + size))
        std::abort();
    return 0;
}
