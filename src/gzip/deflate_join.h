// Turning a complete raw deflate stream into a piece that another stream can follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellix::gzip {

// `out` from `from` on holds one complete raw deflate stream. Clears the final-block bit of
// its last block, drops the padding after that block and, when the block does not end on a
// byte boundary, appends an empty stored block, so that the next stream's bytes can simply
// follow (the technique of zlib's gzjoin). Block boundaries are read with zlib's inflate.
// Throws std::runtime_error when the stream cannot be read; `out` is then left cut short.
void MakeJoinable(std::vector<uint8_t>& out, size_t from);

}  // namespace pellix::gzip
