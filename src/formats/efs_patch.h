// The EFS patch: records a package's id and size where the DS-side program finds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pellix::formats {

// Offset of the first EFS marker at a multiple of 4 in data[0..size), if any.
std::optional<size_t> FindEfsMarker(const uint8_t* data, size_t size);

// Writes `id` and the file's size (low 32 bits) after the first EFS marker in `path`,
// changing nothing else. Throws FormatError with the reason only ("no EFS section found",
// "no such file"); on failure the file is left as it was. Returns the marker's offset.
size_t PatchEfsFile(const std::string& path, uint32_t id);

// A 32-bit id from the operating system's random source.
uint32_t RandomEfsId();

}  // namespace pellix::formats
