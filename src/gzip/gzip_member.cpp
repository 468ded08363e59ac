// gzip members: header and trailer here, the deflate stream from the engine; unpacked by zlib as a stream.
#include "gzip/gzip_member.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "formats/byte_order.h"
#include "gzip/deflate_engine.h"
#include "formats/format_error.h"
#include "gzip/gzip_format.h"
#include "gzip/raw_inflate.h"
#include "system/platform.h"

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

// Packed input read in buffers of a fixed size, with room to look ahead a little.
class Input {
  public:
    explicit Input(const ReadBytes& read) : read_(read), buffer_(kChunk) {}

    // Makes at least `n` bytes available (n <= kChunk), fewer only at the input's end;
    // returns how many are available.
    size_t Fill(size_t n) {
        if (end_ - at_ >= n || ended_) return end_ - at_;
        std::copy(buffer_.begin() + at_, buffer_.begin() + end_, buffer_.begin());
        end_ -= at_;
        at_ = 0;
        while (end_ < n && !ended_) {
            const size_t got = read_(buffer_.data() + end_, buffer_.size() - end_);
            if (got == 0) ended_ = true;
            end_ += got;
        }
        return end_ - at_;
    }
    const uint8_t* Data() const { return buffer_.data() + at_; }
    size_t Available() const { return end_ - at_; }
    // Consumes `n` available bytes, adding them to the header CRC while one is kept.
    void Skip(size_t n) {
        if (headerCrc_) *headerCrc_ = Crc32(*headerCrc_, Data(), n);
        at_ += n;
        consumed_ += n;
    }
    uint64_t Consumed() const { return consumed_; }
    void KeepHeaderCrc(uint32_t* crc) { headerCrc_ = crc; }

    static constexpr size_t kChunk = size_t{1} << 18;

  private:
    const ReadBytes& read_;
    std::vector<uint8_t> buffer_;
    size_t at_ = 0, end_ = 0;
    bool ended_ = false;
    uint64_t consumed_ = 0;
    uint32_t* headerCrc_ = nullptr;
};

[[noreturn]] void CutShort() {
    throw DamagedStream("corrupt: the header is cut short");
}

// Reads bytes up to and including a 0 byte, keeping the first `keep` of them in `text`.
void ReadString(Input& in, std::string* text, size_t keep) {
    for (;;) {
        if (in.Fill(1) == 0) CutShort();
        const uint8_t* end = std::find(in.Data(), in.Data() + in.Available(), 0);
        const size_t n = static_cast<size_t>(end - in.Data());
        if (text && text->size() < keep)
            text->append(reinterpret_cast<const char*>(in.Data()), std::min(n, keep - text->size()));
        const bool found = n < in.Available();
        in.Skip(found ? n + 1 : n);
        if (found) return;
    }
}

// Reads a member's header, which Input holds at least 2 bytes of; returns what it records.
MemberInfo ReadHeader(Input& in) {
    if (in.Fill(2) < 2 || in.Data()[0] != format::kMagic1 || in.Data()[1] != format::kMagic2)
        throw FormatError("not in gzip format");
    if (in.Fill(format::kHeaderSize) < format::kHeaderSize) CutShort();
    const uint8_t* header = in.Data();
    if (header[2] != format::kMethodDeflate)
        throw FormatError("unknown method " + std::to_string(header[2]) + ", not deflate");
    const uint8_t flags = header[format::kFlagsAt];
    if (flags & format::kFlagsReserved)
        throw FormatError("unknown flags in the header (" + std::to_string(flags) +
                          "): made by a newer gzip?");
    MemberInfo info;
    info.mtime = get_u32le(header + format::kMtimeAt);
    uint32_t crc = 0;
    in.KeepHeaderCrc(&crc);
    in.Skip(format::kHeaderSize);
    if (flags & format::kFlagExtra) {
        if (in.Fill(2) < 2) CutShort();
        size_t length = get_u16le(in.Data());
        in.Skip(2);
        while (length > 0) {
            const size_t n = std::min(in.Fill(1), length);
            if (n == 0) CutShort();
            in.Skip(n);
            length -= n;
        }
    }
    constexpr size_t kNameKept = 4096;
    if (flags & format::kFlagName) ReadString(in, &info.name, kNameKept);
    if (flags & format::kFlagComment) ReadString(in, nullptr, 0);
    in.KeepHeaderCrc(nullptr);
    if (flags & format::kFlagHeaderCrc) {
        if (in.Fill(2) < 2) CutShort();
        if (get_u16le(in.Data()) != (crc & 0xFFFF))
            throw FormatError("corrupt: header CRC mismatch");
        in.Skip(2);
    }
    return info;
}

// Unpacks one member's deflate stream and checks its trailer; returns its unpacked size
// and sets `crc` to its CRC-32.
uint64_t InflateMember(Input& in, z_stream& z, const WriteBytes& write, uint64_t room,
                       uint32_t& crc) {
    if (inflateReset(&z) != Z_OK) throw std::bad_alloc();
    std::vector<uint8_t> out(Input::kChunk);
    crc = 0;
    uint64_t produced = 0;
    for (;;) {
        if (in.Fill(1) == 0)
            throw DamagedStream("corrupt: the packed data is damaged or cut short");
        const uInt given = static_cast<uInt>(in.Available());
        z.next_in = const_cast<Bytef*>(in.Data());
        z.avail_in = given;
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        const int status = inflate(&z, Z_NO_FLUSH);
        in.Skip(given - z.avail_in);
        const size_t n = out.size() - z.avail_out;
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status != Z_OK && status != Z_STREAM_END && !(status == Z_BUF_ERROR && n == 0))
            throw DamagedStream("corrupt: the packed data is damaged or cut short");
        if (n > room - produced)
            throw FormatError("too large: unpacks to more than " + std::to_string(room) +
                              " bytes");
        crc = Crc32(crc, out.data(), n);
        produced += n;
        if (n > 0) write(out.data(), n);
        if (status == Z_STREAM_END) break;
    }
    if (in.Fill(format::kTrailerSize) < format::kTrailerSize)
        throw DamagedStream("corrupt: the file is cut short (no CRC and length at its end)");
    if (get_u32le(in.Data() + format::kCrcAt) != crc) throw FormatError("corrupt: CRC mismatch");
    if (get_u32le(in.Data() + format::kSizeAt) != static_cast<uint32_t>(produced))
        throw FormatError("corrupt: length mismatch");
    in.Skip(format::kTrailerSize);
    return produced;
}

}  // namespace

std::vector<uint8_t> PackMember(const uint8_t* data, size_t size, int level,
                                const MemberInfo& info, unsigned threads) {
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
    Deflate(data, size, level, threads, out);
    PutLe32(out, Crc32(0, data, size));
    PutLe32(out, static_cast<uint32_t>(size));
    return out;
}

UnpackReport UnpackStream(const ReadBytes& read, const WriteBytes& write, uint64_t maxSize,
                          Reading reading, const UnpackStarts& starts) {
    Input in(read);
    UnpackReport report;
    const auto isMember = [&] {
        return in.Fill(2) >= 2 && in.Data()[0] == format::kMagic1 &&
               in.Data()[1] == format::kMagic2;
    };
    // Copies the rest of the input unchanged.
    const auto passRest = [&] {
        while (in.Fill(1) > 0) {
            const size_t n = in.Available();
            if (n > maxSize - report.unpackedSize)
                throw FormatError("too large: more than " + std::to_string(maxSize) + " bytes");
            write(in.Data(), n);
            report.unpackedSize += n;
            in.Skip(n);
        }
    };
    const auto finish = [&] {
        report.packedSize = in.Consumed();
        return report;
    };
    if (reading == Reading::kPassThrough && !isMember()) {
        report.gzip = false;
        if (starts) starts(report);
        passRest();
        return finish();
    }
    // A lone non-zero byte where a member could start may be one cut short.
    const auto cutShort = [&] {
        return reading == Reading::kStrict && in.Fill(2) < 2 &&
               (in.Available() == 0 || in.Data()[0] != 0);
    };
    if (in.Fill(2) == 0 && reading != Reading::kStrict)
        throw FormatError("not in gzip format: the file is empty");
    if (cutShort())
        throw DamagedStream(in.Available() == 0 ? "not in gzip format: the file is empty"
                                                : "corrupt: the file is cut short");

    RawInflate inflater;
    z_stream& z = inflater.z;
    for (;;) {
        const uint64_t before = in.Consumed();
        const MemberInfo info = ReadHeader(in);
        if (info.mtime != 0) report.time = info.mtime;
        if (report.members++ == 0) {
            report.first = info;
            report.firstHeaderSize = static_cast<size_t>(in.Consumed() - before);
            if (starts) starts(report);
        }
        report.unpackedSize +=
            InflateMember(in, z, write, maxSize - report.unpackedSize, report.lastCrc);
        if (in.Fill(1) == 0) break;
        if (isMember()) continue;
        if (reading == Reading::kPassThrough) {
            report.trailing = Trailing::kPassedThrough;
            passRest();
            break;
        }
        if (cutShort()) throw DamagedStream("corrupt: the file is cut short");
        // Not another member: zeros to the end are padding, anything else is ignored.
        bool zeros = true;
        while (in.Fill(1) > 0) {
            const size_t n = in.Available();
            zeros = zeros && std::all_of(in.Data(), in.Data() + n, [](uint8_t b) { return b == 0; });
            report.trailingSize += n;
            in.Skip(n);
        }
        report.trailing = zeros ? Trailing::kZeros : Trailing::kGarbage;
        break;
    }
    return finish();
}

namespace {

// Reads from a buffer in memory.
ReadBytes FromMemory(const uint8_t* data, size_t size, size_t& at) {
    return [data, size, &at](uint8_t* into, size_t room) {
        const size_t n = std::min(room, size - at);
        std::copy(data + at, data + at + n, into);
        at += n;
        return n;
    };
}

}  // namespace

size_t HeaderSize(const uint8_t* data, size_t size) {
    size_t at = 0;
    const ReadBytes read = FromMemory(data, size, at);
    Input in(read);
    ReadHeader(in);
    return static_cast<size_t>(in.Consumed());
}

std::vector<uint8_t> UnpackMembers(const uint8_t* data, size_t size, size_t maxSize) {
    size_t at = 0;
    const ReadBytes read = FromMemory(data, size, at);
    std::vector<uint8_t> out;
    const WriteBytes write = [&](const uint8_t* bytes, size_t n) {
        out.insert(out.end(), bytes, bytes + n);
    };
    const UnpackReport report = UnpackStream(read, write, maxSize);
    if (report.trailing == Trailing::kGarbage)
        throw FormatError("corrupt: " + std::to_string(report.trailingSize) +
                          " bytes of unknown data after the packed data");
    return out;
}

}  // namespace pellix::gzip
