// gzip members: header and trailer here, the deflate stream from the engine.
#include "gzip_member.h"

#include <algorithm>

#include "byte_order.h"
#include "deflate_engine.h"
#include "format_error.h"
#include "gzip_format.h"
#include "platform.h"

namespace pellix::gzip {

namespace {

using formats::FormatError;

using formats::get_u16le;
using formats::get_u32le;

void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[4];
    formats::put_u32le(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

// Skips a zero-terminated field starting at `at`; returns the offset after its 0 byte.
size_t SkipString(const uint8_t* data, size_t size, size_t at) {
    const uint8_t* end = std::find(data + at, data + size, 0);
    if (end == data + size) throw FormatError("corrupt: the header is cut short");
    return static_cast<size_t>(end - data) + 1;
}

// Checks the header at data[0..] and returns the offset of the deflate stream.
size_t ReadHeader(const uint8_t* data, size_t size) {
    if (size < 2 || data[0] != format::kMagic1 || data[1] != format::kMagic2)
        throw FormatError("not in gzip format");
    if (size < format::kHeaderSize) throw FormatError("corrupt: the header is cut short");
    if (data[2] != format::kMethodDeflate)
        throw FormatError("unknown method " + std::to_string(data[2]) + ", not deflate");
    const uint8_t flags = data[format::kFlagsAt];
    if (flags & format::kFlagsReserved)
        throw FormatError("unknown flags in the header (" + std::to_string(flags) +
                          "): made by a newer gzip?");
    size_t at = format::kHeaderSize;
    if (flags & format::kFlagExtra) {
        if (size - at < 2) throw FormatError("corrupt: the header is cut short");
        const size_t length = get_u16le(data + at);
        at += 2;
        if (size - at < length) throw FormatError("corrupt: the header is cut short");
        at += length;
    }
    if (flags & format::kFlagName) at = SkipString(data, size, at);
    if (flags & format::kFlagComment) at = SkipString(data, size, at);
    if (flags & format::kFlagHeaderCrc) {
        if (size - at < 2) throw FormatError("corrupt: the header is cut short");
        const uint32_t crc = Crc32(0, data, at) & 0xFFFF;
        if (get_u16le(data + at) != crc) throw FormatError("corrupt: header CRC mismatch");
        at += 2;
    }
    return at;
}

}  // namespace

std::vector<uint8_t> PackMember(const uint8_t* data, size_t size, int level,
                                const MemberInfo& info) {
    // A 0 byte inside the name would end it early; such a name is not stored at all.
    const bool named = !info.name.empty() && info.name.find('\0') == std::string::npos;
    std::vector<uint8_t> out;
    out.push_back(format::kMagic1);
    out.push_back(format::kMagic2);
    out.push_back(format::kMethodDeflate);
    out.push_back(named ? format::kFlagName : 0);
    PutLe32(out, info.mtime);
    out.push_back(level >= BestLevel() ? format::kExtraBest
                  : level <= 1         ? format::kExtraFastest
                                       : 0);
    out.push_back(os::kWindows ? format::kOsFat : format::kOsUnix);
    if (named) {
        out.insert(out.end(), info.name.begin(), info.name.end());
        out.push_back(0);
    }
    Deflate(data, size, level, out);
    PutLe32(out, Crc32(0, data, size));
    PutLe32(out, static_cast<uint32_t>(size));
    return out;
}

std::vector<uint8_t> UnpackMembers(const uint8_t* data, size_t size, size_t maxSize) {
    if (size == 0) throw FormatError("not in gzip format: the file is empty");
    std::vector<uint8_t> out;
    size_t at = 0;
    while (at < size) {
        if (at > 0 && std::all_of(data + at, data + size, [](uint8_t b) { return b == 0; })) break;
        if (at > 0 &&
            (size - at < 2 || data[at] != format::kMagic1 || data[at + 1] != format::kMagic2))
            throw FormatError("corrupt: " + std::to_string(size - at) +
                              " bytes of unknown data after the packed data");
        at += ReadHeader(data + at, size - at);
        // The last 4 bytes of the file are the last member's length: right for a file of
        // one member, the common case, and only a first guess for the others. A damaged or
        // hostile file may claim gigabytes, so the guess is held to what packs usually
        // reach; a longer output only costs a few more tries.
        const size_t claimed = size - at >= 4 ? get_u32le(data + size - 4) : 0;
        const size_t hint = std::min(claimed, (size - at) * 64 + (size_t{1} << 20));
        Inflated member = Inflate(data + at, size - at, hint, maxSize - out.size());
        at += member.consumed;
        if (size - at < format::kTrailerSize)
            throw FormatError("corrupt: the file is cut short (no CRC and length at its end)");
        const uint8_t* trailer = data + at;
        if (get_u32le(trailer + format::kCrcAt) !=
            Crc32(0, member.bytes.data(), member.bytes.size()))
            throw FormatError("corrupt: CRC mismatch");
        if (get_u32le(trailer + format::kSizeAt) != static_cast<uint32_t>(member.bytes.size()))
            throw FormatError("corrupt: length mismatch");
        at += format::kTrailerSize;
        if (out.empty())
            out = std::move(member.bytes);
        else
            out.insert(out.end(), member.bytes.begin(), member.bytes.end());
    }
    return out;
}

}  // namespace pellix::gzip
