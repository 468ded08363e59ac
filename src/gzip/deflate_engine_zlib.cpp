// The deflate interface over zlib, for builds without libdeflate (the Windows one).
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>
#include <string>

#include "deflate_engine.h"
#include "format_error.h"

namespace pellix::gzip {

namespace {

// zlib counts in unsigned int; larger buffers go through in pieces of this size.
constexpr size_t kPiece = UINT_MAX / 2 + 1;

uInt Piece(size_t left) {
    return static_cast<uInt>(std::min(left, kPiece));
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
        const uInt n = Piece(size);
        value = crc32(value, data, n);
        data += n;
        size -= n;
    }
    return static_cast<uint32_t>(value);
}

void Deflate(const uint8_t* data, size_t size, int level, std::vector<uint8_t>& out) {
    z_stream z{};
    // -15: a raw stream with the full 32 KiB window; memory level 8 is gzip's own.
    if (deflateInit2(&z, std::clamp(level, 1, MaxLevel()), Z_DEFLATED, -15, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    const size_t start = out.size();
    try {
        // Enough for all of it at once up to kPiece; longer inputs grow it as they go.
        out.resize(start + deflateBound(&z, static_cast<uLong>(std::min(size, kPiece))));
    } catch (...) {
        deflateEnd(&z);
        throw;
    }
    size_t inLeft = size;
    size_t written = start;
    z.next_in = const_cast<Bytef*>(data);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (z.avail_in == 0 && inLeft > 0) {
            z.avail_in = Piece(inLeft);
            inLeft -= z.avail_in;
        }
        if (written == out.size()) out.resize(out.size() * 2);
        z.next_out = out.data() + written;
        z.avail_out = Piece(out.size() - written);
        const uInt room = z.avail_out;
        status = deflate(&z, inLeft == 0 ? Z_FINISH : Z_NO_FLUSH);
        written += room - z.avail_out;
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
            deflateEnd(&z);
            throw std::bad_alloc();
        }
    }
    deflateEnd(&z);
    out.resize(written);
}

Inflated Inflate(const uint8_t* data, size_t size, size_t sizeHint, size_t maxSize) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) throw std::bad_alloc();
    struct End {
        z_stream& z;
        ~End() { inflateEnd(&z); }
    } end{z};
    Inflated result;
    // Grown as the stream proves longer; the hint only saves copies.
    result.bytes.resize(std::min(std::max<size_t>(sizeHint, 4096), maxSize));
    size_t inLeft = size;
    size_t produced = 0;
    z.next_in = const_cast<Bytef*>(data);
    for (;;) {
        if (z.avail_in == 0 && inLeft > 0) {
            z.avail_in = Piece(inLeft);
            inLeft -= z.avail_in;
        }
        if (produced == result.bytes.size()) {
            if (produced >= maxSize)
                throw formats::FormatError("too large: unpacks to more than " +
                                           std::to_string(maxSize) + " bytes");
            result.bytes.resize(std::min(maxSize, std::max<size_t>(produced * 2, 4096)));
        }
        z.next_out = result.bytes.data() + produced;
        z.avail_out = Piece(result.bytes.size() - produced);
        const uInt room = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        produced += room - z.avail_out;
        if (status == Z_STREAM_END) break;
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        // There was room for output, so a stop short of the end with all input given (or
        // Z_BUF_ERROR: no progress possible) means the stream was cut short.
        const bool outOfInput = z.avail_in == 0 && inLeft == 0;
        if (status != Z_OK || (outOfInput && z.avail_out != 0))
            throw formats::FormatError("corrupt: the packed data is damaged or cut short");
    }
    result.consumed = size - inLeft - z.avail_in;
    result.bytes.resize(produced);
    return result;
}

}  // namespace pellix::gzip
