// The EFS patch: records a package's id and size where the DS-side program finds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pellix::formats {

// Offset of the first EFS marker at a multiple of 4 in data[0..size), if any.
std::optional<size_t> FindEfsMarker(const uint8_t* data, size_t size);

// Writes the file's size (low 32 bits) and its id after the first EFS marker in `path`,
// changing nothing else, and returns the marker's offset. The id is taken from the
// package's own bytes: a hash of the whole file with the size in place and the id field
// zero. So one package always gets one id (patching again changes nothing), and two
// packages that differ anywhere get different ids but for a chance of one in 2^32, which
// is all the DS side needs of it. Throws FormatError with the reason only ("no EFS section
// found", "no such file"); on failure the file is left as it was.
size_t PatchEfsFile(const std::string& path);

}  // namespace pellix::formats
