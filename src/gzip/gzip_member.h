// Packing bytes into one gzip member and unpacking a file of concatenated members.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellix::gzip {

// What a member's header records besides the method.
struct MemberInfo {
    std::string name;    // the original file name (without folders); empty: none stored
    uint32_t mtime = 0;  // modification time in Unix seconds; 0: none
};

// One gzip member holding `data` in a single deflate stream at `level` (1..MaxLevel()),
// with `info` in its header. Throws std::bad_alloc when memory runs out.
std::vector<uint8_t> PackMember(const uint8_t* data, size_t size, int level,
                                const MemberInfo& info);

// Unpacks every member of a gzip file and returns their data joined. Each member's CRC-32
// and length are checked; zero bytes after the last member (block padding) are allowed,
// anything else there is not. Throws pellix::formats::FormatError with a one-line reason
// ("not in gzip format", "corrupt: CRC mismatch", ...), or when the data would unpack to
// more than `maxSize` bytes.
std::vector<uint8_t> UnpackMembers(const uint8_t* data, size_t size, size_t maxSize);

}  // namespace pellix::gzip
