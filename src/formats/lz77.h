// The GBA/DS BIOS LZ77 compression (type 0x10): an optimal, video-memory-safe compressor
// and a checking decompressor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellix::formats {

// Compresses `size` bytes into a type 0x10 stream that both BIOS routines decode: no
// displacement of 1, lengths 3..18, displacements 2..4096. The parse is optimal: no
// stream of such tokens for this input has fewer token bits (9 per literal, 17 per
// reference). The result is padded with zeros to a multiple of 4 bytes.
// Throws FormatError when size is 16 MiB or more (the header cannot hold it).
std::vector<uint8_t> CompressLz77(const uint8_t* data, size_t size);
inline std::vector<uint8_t> CompressLz77(const std::vector<uint8_t>& data) {
    return CompressLz77(data.data(), data.size());
}

// Decodes a type 0x10 stream. Bytes after the last token (padding) are ignored.
// Throws FormatError when the stream is not LZ77, ends early, or holds a reference
// that points before the start or runs past the declared size. Never reads or writes
// out of bounds, and allocates no more than the input can produce.
std::vector<uint8_t> DecompressLz77(const uint8_t* data, size_t size);
inline std::vector<uint8_t> DecompressLz77(const std::vector<uint8_t>& data) {
    return DecompressLz77(data.data(), data.size());
}

}  // namespace pellix::formats
