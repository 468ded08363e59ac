// Layout of the GBA/DS BIOS LZ77 stream (type 0x10).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellix::formats::lz77 {

// Header: one u32, the type in the low byte and the uncompressed size above it.
constexpr size_t kHeaderSize = 4;
constexpr uint32_t kType = 0x10;              // low byte of the header
constexpr uint32_t kSizeShift = 8;            // uncompressed size = header >> 8
constexpr uint64_t kMaxInputSize = 1u << 24;  // exclusive: the size must fit in 24 bits

// Blocks: a flag byte, then up to this many tokens; flag bits from the most significant
// down, 1 = reference, 0 = literal byte.
constexpr int kTokensPerFlag = 8;

// A reference is two bytes: ((length - 3) << 4) | ((displacement - 1) >> 8), then
// (displacement - 1) & 0xFF.
constexpr size_t kReferenceSize = 2;
constexpr int kMinLength = 3;
constexpr int kMaxLength = 18;
constexpr int kMaxDisplacement = 4096;
// The BIOS routine for video memory writes 16 bits at a time and cannot copy the byte
// it has just produced, so a safe stream never uses displacement 1.
constexpr int kMinSafeDisplacement = 2;

// Token costs in bits, flag bit included: what the optimal parse minimises.
constexpr uint32_t kLiteralBits = 1 + 8;
constexpr uint32_t kReferenceBits = 1 + 16;

// The compressed stream is padded with zero bytes to a multiple of this.
constexpr size_t kOutputAlignment = 4;

}  // namespace pellix::formats::lz77
