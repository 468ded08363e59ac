// Whole-file reads and all-or-nothing writes for the companion programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "system/files.h"

namespace pellix::formats {

// A failure tied to one named file: subject() is the file, reason() why; the programs
// print "PROGRAM: FILE: REASON".
using os::FileError;

// Returns the whole content of `path`. Throws FormatError with only the reason
// ("no such file", "is a folder", "permission denied", "too large: N bytes, at most M");
// the caller names the file. `maxSize` keeps a stray huge file out of memory.
std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t maxSize = UINT64_MAX);

// Replaces the file at `path` by `bytes` all at once (through an os::AtomicFile). Throws
// FormatError("cannot write: REASON"); the caller names the file.
void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace pellix::formats
