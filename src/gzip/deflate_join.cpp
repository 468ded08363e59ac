// Joining deflate streams: where the last block starts and ends, read with zlib's Z_BLOCK.
#include "gzip/deflate_join.h"

#include <zlib.h>

#include <climits>
#include <new>
#include <stdexcept>

#include "gzip/raw_inflate.h"

namespace pellix::gzip {

void MakeJoinable(std::vector<uint8_t>& out, size_t from) {
    RawInflate inflater;
    z_stream& z = inflater.z;
    const size_t size = out.size() - from;
    if (size > UINT_MAX) throw std::runtime_error("a deflate piece over 4 GiB");
    z.next_in = out.data() + from;
    z.avail_in = static_cast<uInt>(size);
    uint8_t scratch[1 << 16];
    // Bit offsets from `from`: where the block being read started, and where the stream ends.
    uint64_t lastHeader = 0;
    uint64_t endBit = 0;
    for (;;) {
        z.next_out = scratch;
        z.avail_out = sizeof scratch;
        const int status = inflate(&z, Z_BLOCK);
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status != Z_OK && status != Z_STREAM_END)
            throw std::runtime_error("the deflate library made a stream zlib cannot read");
        if (!(z.data_type & 128)) {
            if (status == Z_STREAM_END || (z.avail_in == 0 && z.avail_out != 0))
                throw std::runtime_error("the deflate library made a stream zlib cannot read");
            continue;
        }
        // Stopped right after a block: data_type holds the bits left unread in the last byte
        // taken, and 64 when the block just read was the final one.
        const uint64_t bit = uint64_t{z.total_in} * 8 - (z.data_type & 7);
        if (z.data_type & 64) {
            endBit = bit;
            break;
        }
        lastHeader = bit;
    }
    out[from + lastHeader / 8] &= static_cast<uint8_t>(~(1u << (lastHeader % 8)));
    out.resize(from + (endBit + 7) / 8);
    const unsigned used = endBit % 8;
    if (used == 0) return;
    // Bits above `used` are padding: zero them, so the empty stored block's header (three 0
    // bits: not final, stored) starts there; it then pads to the byte boundary itself.
    out.back() &= static_cast<uint8_t>((1u << used) - 1);
    if (used > 5) out.push_back(0);  // the three header bits do not fit in this byte
    const uint8_t emptyStored[] = {0x00, 0x00, 0xFF, 0xFF};
    out.insert(out.end(), emptyStored, emptyStored + 4);
}

}  // namespace pellix::gzip
