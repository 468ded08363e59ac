// Packing bytes into one gzip member and unpacking a file of concatenated members.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/format_error.h"

namespace pellix::gzip {

// What a member's header records besides the method.
struct MemberInfo {
    std::string name;    // the original file name (without folders); empty: none stored
    uint32_t mtime = 0;  // modification time in Unix seconds; 0: none
};

// One gzip member holding `data` in a single deflate stream at `level` (1..MaxLevel()),
// with `info` in its header, packed on up to `threads` threads (0: one per core; the bytes
// are the same for any number). Throws std::bad_alloc when memory runs out and
// std::system_error when a thread cannot be started.
std::vector<uint8_t> PackMember(const uint8_t* data, size_t size, int level,
                                const MemberInfo& info, unsigned threads = 1);

// Gives up to `size` bytes of packed input at `into` and returns how many; 0 at its end.
// Throws to stop the unpacking (the caller's exception comes back out).
using ReadBytes = std::function<size_t(uint8_t* into, size_t size)>;
// Takes the next unpacked bytes, in order. Throws to stop the unpacking.
using WriteBytes = std::function<void(const uint8_t* data, size_t size)>;

// The input ends inside a member, or its deflate data is damaged. GNU gzip ends its whole
// run on these (not on a wrong CRC or a file that is not gzip at all), and so does ours.
class DamagedStream : public formats::FormatError {
  public:
    using formats::FormatError::FormatError;
};

// What follows the last member.
enum class Trailing {
    kNothing,
    kZeros,         // zero bytes to the end (block padding), skipped
    kGarbage,       // other bytes, ignored
    kPassedThrough  // not gzip, copied to the output (gzip -cdf)
};

// What unpacking a stream found besides the data.
struct UnpackReport {
    bool gzip = true;            // false: not gzip at all, passed through unchanged
    size_t members = 0;          // gzip members read
    uint64_t packedSize = 0;     // bytes read
    uint64_t unpackedSize = 0;   // bytes written
    size_t firstHeaderSize = 0;  // the first member's header
    uint32_t lastCrc = 0;        // the last member's CRC-32
    Trailing trailing = Trailing::kNothing;
    uint64_t trailingSize = 0;  // how many bytes, when zeros or garbage
    MemberInfo first;           // the first member's stored name (up to 4 KiB) and time
    uint32_t time = 0;          // the last time a member stored (gzip -N's)
};

// Called once before the first byte is written, when the first header has been read (or
// the input is found to be passed through): the report so far, with `first`.
using UnpackStarts = std::function<void(const UnpackReport&)>;

// How input that is not a member is taken, as GNU gzip takes it.
enum class Reading {
    kStrict,      // gzip -d: empty input, or a lone non-zero byte where a member could
                  // start, is a stream cut short (DamagedStream)
    kForced,      // -f to standard output (-cf, -tf, -lf): those are just not gzip
    kPassThrough  // -cdf, -tf: as kForced, and what is not gzip is copied unchanged
};

// Unpacks every member of a gzip stream from `read` to `write` as it goes, in buffers of a
// fixed size whatever the stream's length. Each member's CRC-32 and length are checked.
// Bytes after a member: zeros to the end are padding, other bytes are garbage, ignored
// (or, passed through, copied). Throws DamagedStream (cut short or damaged) or
// pellix::formats::FormatError ("not in gzip format", "corrupt: CRC mismatch", ...) with a
// one-line reason, also when more than `maxSize` bytes would be written; output written
// before a failure stays written (callers write aside).
UnpackReport UnpackStream(const ReadBytes& read, const WriteBytes& write, uint64_t maxSize,
                          Reading reading = Reading::kStrict, const UnpackStarts& starts = nullptr);

// The size of the member header at the start of `data` (what gzip -l leaves out of its
// ratio). Throws pellix::formats::FormatError as UnpackStream does.
size_t HeaderSize(const uint8_t* data, size_t size);

// Unpacks every member of a gzip file and returns their data joined. Each member's CRC-32
// and length are checked; zero bytes after the last member (block padding) are allowed,
// anything else there is not. Throws pellix::formats::FormatError with a one-line reason
// ("not in gzip format", "corrupt: CRC mismatch", ...), or when the data would unpack to
// more than `maxSize` bytes.
std::vector<uint8_t> UnpackMembers(const uint8_t* data, size_t size, size_t maxSize);

}  // namespace pellix::gzip
