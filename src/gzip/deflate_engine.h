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

// The size of the pieces Deflate packs on separate threads. Fixed, so that the bytes
// written never depend on how many threads there were. 2 MiB (bench/gzip_levels): the
// joins cost under 0.1 % of the size, and the usual ROM sizes of 4 to 32 MiB still give
// every core of a small machine a piece or more.
constexpr size_t kPieceSize = size_t{2} << 20;

// Compresses `data` into one raw deflate stream (no wrapper) that ends in a final block,
// at `level` in 1..MaxLevel(), and appends it to `out` (appending in place spares a copy
// of a large output). The input is packed in pieces of `pieceSize` bytes on up to
// `threads` threads (0: one per core) and the pieces are joined into the one stream; the
// result depends on the input, level and piece size only. Throws std::bad_alloc when
// memory runs out and std::system_error when no thread can be started.
void Deflate(const uint8_t* data, size_t size, int level, unsigned threads,
             std::vector<uint8_t>& out, size_t pieceSize = kPieceSize);

// Compresses data[start, end) as one piece of the stream Deflate makes of data[0, size),
// appending to `out`. A piece that ends before `size` ends on a byte boundary without a
// final block, so the next piece's bytes can follow; the last piece ends the stream.
// Pieces may be packed in any order and on any thread.
void DeflatePiece(const uint8_t* data, size_t start, size_t end, size_t size, int level,
                  std::vector<uint8_t>& out);

// How many threads Deflate uses when asked for 0: one per core.
unsigned DefaultThreads();

}  // namespace pellix::gzip
