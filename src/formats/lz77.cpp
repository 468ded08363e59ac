// LZ77 type 0x10: exact longest-match search over hash chains, a shortest-path parse,
// and a decoder that checks every token against both buffers.
#include "formats/lz77.h"

#include <algorithm>
#include <string>

#include "formats/byte_order.h"
#include "formats/format_error.h"
#include "formats/lz77_format.h"

namespace pellix::formats {
namespace {

using namespace lz77;

constexpr int kHashBits = 16;
constexpr uint32_t kWindowMask = kMaxDisplacement * 2 - 1;  // ring of chain links
constexpr int32_t kNone = -1;

// Chains of earlier positions that share their first `key` bytes (or collide in the
// hash). Every position whose match is at least `key` long is in the chain of that key.
template <size_t Key>
class Chains {
  public:
    Chains() : head_(size_t{1} << kHashBits, kNone), link_(kWindowMask + 1, kNone) {}

    static uint32_t Hash(const uint8_t* p) {
        uint32_t h = 0;
        for (size_t k = 0; k < Key; ++k) h = (h ^ p[k]) * 0x01000193u;
        return (h * 2654435761u) >> (32 - kHashBits);
    }

    void Add(const uint8_t* data, size_t position) {
        const uint32_t h = Hash(data + position);
        link_[position & kWindowMask] = head_[h];
        head_[h] = static_cast<int32_t>(position);
    }

    // Walks the chain of `here` back to `oldest`, raising best/bestFrom; stops at `cap`.
    void Search(const uint8_t* data, size_t i, int64_t oldest, size_t cap, size_t& best,
                size_t& bestFrom) const {
        const uint8_t* here = data + i;
        if (best >= cap) return;
        for (int64_t j = head_[Hash(here)]; j >= oldest && j != kNone;
             j = link_[static_cast<size_t>(j) & kWindowMask]) {
            const uint8_t* there = data + j;
            // Only a candidate that beats the best so far is worth a full comparison.
            if (there[best] != here[best]) continue;
            size_t n = 0;
            while (n < cap && there[n] == here[n]) ++n;
            if (n > best) {
                best = n;
                bestFrom = static_cast<size_t>(j);
                if (best == cap) return;
            }
        }
    }

  private:
    std::vector<int32_t> head_;
    std::vector<int32_t> link_;
};

// The longest safe match starting at each position: its length (0 when under 3) and
// displacement. Any shorter length down to 3 is a match at the same displacement, so
// this is all the parse needs.
// The lengths are exact: chains are walked whole, never cut. To keep the walks short
// they are searched from the longest key down: a chain that yields a match at least as
// long as its key holds every longer match too, so the search ends there; one that
// yields none proves no match reaches its key, which caps the next, shorter-keyed walk.
void find_matches(const uint8_t* data, size_t size, std::vector<uint8_t>& length,
                  std::vector<uint16_t>& displacement) {
    length.assign(size, 0);
    displacement.assign(size, 0);
    if (size < static_cast<size_t>(kMinLength)) return;
    constexpr size_t kLong = 12, kMiddle = 6, kShort = kMinLength;
    Chains<kLong> longChains;
    Chains<kMiddle> middleChains;
    Chains<kShort> shortChains;

    for (size_t i = kMinSafeDisplacement; i + kShort <= size; ++i) {
        // Make position i-2 a candidate: the nearest position a safe reference may use.
        const size_t added = i - kMinSafeDisplacement;
        shortChains.Add(data, added);
        if (added + kMiddle <= size) middleChains.Add(data, added);
        if (added + kLong <= size) longChains.Add(data, added);

        const int64_t oldest = static_cast<int64_t>(i) - kMaxDisplacement;
        size_t cap = std::min<size_t>(kMaxLength, size - i);
        size_t best = 0;
        size_t bestFrom = 0;
        bool done = false;
        if (i + kLong <= size) {
            longChains.Search(data, i, oldest, cap, best, bestFrom);
            done = best >= kLong;
            if (!done) cap = kLong - 1;
        }
        if (!done && i + kMiddle <= size) {
            middleChains.Search(data, i, oldest, cap, best, bestFrom);
            done = best >= kMiddle;
            if (!done) cap = std::min(cap, kMiddle - 1);
        }
        if (!done) shortChains.Search(data, i, oldest, cap, best, bestFrom);
        if (best >= static_cast<size_t>(kMinLength)) {
            length[i] = static_cast<uint8_t>(best);
            displacement[i] = static_cast<uint16_t>(i - bestFrom);
        }
    }
}

}  // namespace

std::vector<uint8_t> CompressLz77(const uint8_t* data, size_t size) {
    if (size >= kMaxInputSize)
        throw FormatError("too large for LZ77: " + std::to_string(size) +
                          " bytes, the format holds less than 16 MiB");
    std::vector<uint8_t> matchLength;
    std::vector<uint16_t> matchDisplacement;
    find_matches(data, size, matchLength, matchDisplacement);

    // Shortest path from each position to the end, in token bits. Ties go to the longer
    // step, which means fewer tokens and so never more flag bytes.
    std::vector<uint32_t> cost(size + 1, 0);
    std::vector<uint8_t> step(size, 1);
    for (size_t i = size; i-- > 0;) {
        uint32_t best = cost[i + 1] + kLiteralBits;
        uint8_t bestStep = 1;
        for (size_t n = kMinLength; n <= matchLength[i]; ++n) {
            const uint32_t c = cost[i + n] + kReferenceBits;
            if (c <= best) {
                best = c;
                bestStep = static_cast<uint8_t>(n);
            }
        }
        cost[i] = best;
        step[i] = bestStep;
    }

    std::vector<uint8_t> out(kHeaderSize);
    put_u32le(out.data(), kType | static_cast<uint32_t>(size) << kSizeShift);
    out.reserve(kHeaderSize + size + size / 8 + kOutputAlignment + 1);
    size_t flagAt = 0;
    int tokensInBlock = kTokensPerFlag;
    for (size_t i = 0; i < size; i += step[i]) {
        if (tokensInBlock == kTokensPerFlag) {
            flagAt = out.size();
            out.push_back(0);
            tokensInBlock = 0;
        }
        const int bit = kTokensPerFlag - 1 - tokensInBlock++;
        if (step[i] == 1) {
            out.push_back(data[i]);
            continue;
        }
        out[flagAt] = static_cast<uint8_t>(out[flagAt] | (1u << bit));
        const uint32_t d = matchDisplacement[i] - 1u;
        out.push_back(static_cast<uint8_t>(((step[i] - kMinLength) << 4) | (d >> 8)));
        out.push_back(static_cast<uint8_t>(d & 0xFF));
    }
    out.resize((out.size() + kOutputAlignment - 1) / kOutputAlignment * kOutputAlignment, 0);
    return out;
}

std::vector<uint8_t> DecompressLz77(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) throw FormatError("truncated LZ77 stream: the header ends early");
    const uint32_t header = get_u32le(data);
    if ((header & 0xFF) != kType) throw FormatError("not an LZ77 stream (type 0x10)");
    const size_t total = header >> kSizeShift;

    std::vector<uint8_t> out;
    // A reference of two bytes yields at most 18, so the input bounds what is worth reserving.
    out.reserve(std::min(total, size * 9 + kMaxLength));
    size_t at = kHeaderSize;
    while (out.size() < total) {
        if (at >= size) throw FormatError("truncated LZ77 stream: it ends before the data does");
        const uint8_t flags = data[at++];
        for (int bit = kTokensPerFlag - 1; bit >= 0 && out.size() < total; --bit) {
            if ((flags >> bit & 1) == 0) {
                if (at >= size)
                    throw FormatError("truncated LZ77 stream: it ends before the data does");
                out.push_back(data[at++]);
                continue;
            }
            if (size - at < kReferenceSize)
                throw FormatError("truncated LZ77 stream: it ends before the data does");
            const size_t n = (data[at] >> 4) + static_cast<size_t>(kMinLength);
            const size_t d = ((size_t{data[at]} & 0x0F) << 8 | data[at + 1]) + 1;
            at += kReferenceSize;
            if (d > out.size())
                throw FormatError("bad LZ77 stream: a reference points before the start");
            if (n > total - out.size())
                throw FormatError("bad LZ77 stream: a reference runs past the declared size");
            for (size_t k = 0; k < n; ++k) out.push_back(out[out.size() - d]);
        }
    }
    return out;
}

}  // namespace pellix::formats
