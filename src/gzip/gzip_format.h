// The gzip file format: one or more members, each a header, a raw deflate stream and a trailer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellix::gzip::format {

// Header, 10 bytes, then the optional fields its flags announce, in this order.
constexpr size_t kHeaderSize = 10;
constexpr uint8_t kMagic1 = 0x1F;      // byte 0
constexpr uint8_t kMagic2 = 0x8B;      // byte 1
constexpr uint8_t kMethodDeflate = 8;  // byte 2: compression method, deflate the only one
constexpr size_t kFlagsAt = 3;         // byte 3: the flags below
constexpr size_t kMtimeAt = 4;         // bytes 4..7: modification time, Unix seconds, LE; 0 = none
constexpr size_t kExtraFlagsAt = 8;    // byte 8: how hard the packer tried (below)
constexpr size_t kOsAt = 9;            // byte 9: the system that packed it (below)

// Flags (byte 3).
constexpr uint8_t kFlagText = 0x01;       // FTEXT: probably text; ignored
constexpr uint8_t kFlagHeaderCrc = 0x02;  // FHCRC: 2 bytes after the optional fields, LE: low
                                          // half of the CRC-32 of the header up to them
constexpr uint8_t kFlagExtra = 0x04;      // FEXTRA: 2-byte LE length, then that many bytes
constexpr uint8_t kFlagName = 0x08;       // FNAME: the original file name, ending in a 0 byte
constexpr uint8_t kFlagComment = 0x10;    // FCOMMENT: a comment, ending in a 0 byte
constexpr uint8_t kFlagsReserved = 0xE0;  // must be 0: a reader cannot skip what it does not know

// Extra flags (byte 8).
constexpr uint8_t kExtraBest = 2;     // the slowest, smallest level
constexpr uint8_t kExtraFastest = 4;  // the fastest level

// Systems (byte 9).
constexpr uint8_t kOsFat = 0;   // MS-DOS and Windows
constexpr uint8_t kOsUnix = 3;  // Unix

// Trailer, 8 bytes after the deflate stream.
constexpr size_t kTrailerSize = 8;
constexpr size_t kCrcAt = 0;   // bytes 0..3: CRC-32 of the unpacked data, LE
constexpr size_t kSizeAt = 4;  // bytes 4..7: unpacked size modulo 2^32, LE

}  // namespace pellix::gzip::format
