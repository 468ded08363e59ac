// libFuzzer target: the DS package reader on arbitrary bytes, with everything it reports used.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/crc16.h"
#include "formats/format_error.h"
#include "formats/nds_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const pellix::formats::NdsPackage package =
            pellix::formats::ReadNds(std::vector<uint8_t>(data, data + size));
        // Touch every byte the reader says belongs to a file, and the text it shows.
        uint16_t crc = 0;
        for (const auto& file : package.files) {
            crc = pellix::formats::Crc16(package.Data(file), file.end - file.start, crc);
        }
        const std::string text =
            pellix::formats::DescribeNds(package) + pellix::formats::ListNdsFiles(package);
        return crc == 0x1234 && text.empty() ? 1 : 0;
    } catch (const pellix::formats::FormatError&) {
        return 0;
    }
}
