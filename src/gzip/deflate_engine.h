// The one interface in front of the deflate library this build uses (libdeflate or zlib).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellix::gzip {

// The library behind this build and its version, for --version ("libdeflate 1.14").
std::string EngineName();

// The highest level Deflate accepts (12 for libdeflate, 9 for zlib).
int MaxLevel();

// The level --best and -9 use: for libdeflate the one chosen by measuring whole builds
// (bench/gzip_levels, bench/build), for zlib its highest.
int BestLevel();

// Continues a CRC-32 (the gzip trailer's; start with 0) over `size` bytes.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

// Compresses `data` into one raw deflate stream (no wrapper) that ends in a final block,
// at `level` in 1..MaxLevel(), and appends it to `out` (appending in place spares a copy
// of a large output). Throws std::bad_alloc when memory runs out.
void Deflate(const uint8_t* data, size_t size, int level, std::vector<uint8_t>& out);

// One raw deflate stream read from the start of `data`.
struct Inflated {
    std::vector<uint8_t> bytes;  // what it unpacked to
    size_t consumed = 0;         // how many bytes of `data` the stream took up
};

// Unpacks the raw deflate stream at the start of `data`; bytes after its final block are
// left alone (see Inflated::consumed). `sizeHint` is the expected unpacked size (a guess
// is fine: a wrong one costs time, not correctness). Throws pellix::formats::FormatError
// when the stream is damaged or cut short, or unpacks to more than `maxSize` bytes.
Inflated Inflate(const uint8_t* data, size_t size, size_t sizeHint, size_t maxSize);

}  // namespace pellix::gzip
