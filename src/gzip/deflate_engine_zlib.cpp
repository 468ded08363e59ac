// The deflate interface over zlib, for builds without libdeflate (the Windows one).
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>
#include <string>

#include "gzip/deflate_engine.h"

namespace pellix::gzip {

namespace {

// zlib counts in unsigned int; larger buffers go through in pieces of this size.
constexpr size_t kChunk = UINT_MAX / 2 + 1;

uInt Chunk(size_t left) {
    return static_cast<uInt>(std::min(left, kChunk));
}

}  // namespace

std::string EngineName() {
    return std::string("zlib ") + zlibVersion();
}

int MaxLevel() {
    return 9;
}

int BestLevel() {
    return 9;
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
    uLong value = crc;
    while (size > 0) {
        const uInt n = Chunk(size);
        value = crc32(value, data, n);
        data += n;
        size -= n;
    }
    return static_cast<uint32_t>(value);
}

void DeflatePiece(const uint8_t* data, size_t start, size_t end, size_t size, int level,
                  std::vector<uint8_t>& out) {
    z_stream z{};
    // -15: a raw stream with the full 32 KiB window; memory level 8 is gzip's own.
    if (deflateInit2(&z, std::clamp(level, 1, MaxLevel()), Z_DEFLATED, -15, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    struct End {
        z_stream& z;
        ~End() { deflateEnd(&z); }
    } endStream{z};
    // The previous piece's last 32 KiB as the dictionary: the piece packs as if the stream
    // had never been cut, so the joined stream is as small as one.
    const size_t window = std::min<size_t>(start, 32768);
    if (window > 0 && deflateSetDictionary(&z, data + start - window,
                                           static_cast<uInt>(window)) != Z_OK)
        throw std::bad_alloc();
    const bool last = end == size;
    const size_t from = out.size();
    // A sync flush ends the piece with an empty stored block: byte-aligned, not final.
    const int finish = last ? Z_FINISH : Z_SYNC_FLUSH;
    out.resize(from + deflateBound(&z, static_cast<uLong>(std::min(end - start, kChunk))) + 16);
    size_t inLeft = end - start;
    size_t written = from;
    z.next_in = const_cast<Bytef*>(data + start);
    for (;;) {
        if (z.avail_in == 0 && inLeft > 0) {
            z.avail_in = Chunk(inLeft);
            inLeft -= z.avail_in;
        }
        if (written == out.size()) out.resize(out.size() * 2);
        z.next_out = out.data() + written;
        z.avail_out = Chunk(out.size() - written);
        const uInt room = z.avail_out;
        const int status = deflate(&z, inLeft == 0 ? finish : Z_NO_FLUSH);
        written += room - z.avail_out;
        if (status == Z_STREAM_END) break;
        if (status != Z_OK && status != Z_BUF_ERROR) throw std::bad_alloc();
        // A flush is complete when it left room unused with all input taken.
        if (!last && inLeft == 0 && z.avail_in == 0 && z.avail_out != 0) break;
    }
    out.resize(written);
}

}  // namespace pellix::gzip
