// Reading a file whole and replacing a file whole, for the companion programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellix::formats {

// Reads the whole file at `path`. Throws FormatError with the problem alone, without the
// path ("no such file", "permission denied", "larger than 256 MiB", ...), so that callers
// can prefix "PROGRAM: FILE: ".
std::vector<uint8_t> ReadWholeFile(const std::string& path, uint64_t maxSize);

// Writes `bytes` to a temporary file beside `path` and renames it into place, so that a
// failed write never leaves a partial file at `path`. Throws FormatError with the problem
// alone ("cannot write: permission denied", ...) after removing the temporary file.
void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace pellix::formats
