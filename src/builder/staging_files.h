// The small file operations a build stages with, and the ROM facts the window reads.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "system/files.h"

namespace pellix::files {

// A file operation failed (see os::FileError).
using os::FileError;

// Entry n is the 1-based byte position at which the next WriteBinary through file
// number n lands. OpenBinary sets it to 1; WriteBinary advances it by the bytes written.
// The numbered-file functions may be called from several threads; each thread reads only
// the entries of the numbers it holds.
extern std::array<std::int32_t, 256> NextWritePos;

// A short lower-case reason for a failed operation, such as "no such file".
using os::ErrorReason;

// Converts a path string (UTF-8) to a filesystem path.
std::filesystem::path ToPath(const std::string& path);

// The last component of `path` (after the last separator, paths::IsSeparator), less `extension`
// when the path ends with it (compared without regard to case). Never fails.
std::string BaseName(const std::string& path, const std::string& extension);

// Copies `source` to `destination`, replacing a file that is there, with the source's
// modification time (whole seconds), and returns whether a file exists at the destination
// afterwards. A failed copy throws FileError; a full disk
// reads "the disk holding FOLDER is full".
bool CopyFileTo(const std::string& source, const std::string& destination);

// Copies `source` to a file of a new name in the folder of `destination` (".pellix-",
// eight random hex digits and ".part", or a dot and random hex digits where the final name
// is shorter, so it fits wherever that name fits), created exclusively, so no file that
// was there is ever overwritten, and returns that name. Throws
// FileError("cannot copy SOURCE to DESTINATION", reason) as CopyFileTo does, having removed
// what it wrote.
std::string CopyFileBeside(const std::string& source, const std::string& destination);

// The operating system's copy of a file's bytes to `to`, which it creates (when
// `exclusive`, only if nothing is there, else replacing what is): the seam through which
// tests act out a full disk. A failed copy may leave a partial `to` behind.
using CopyBytesFunction = std::error_code (*)(const std::filesystem::path& from,
                                              const std::filesystem::path& to, bool exclusive);

// Makes every copy go through `copy` (nullptr: the system's) and returns the one before.
// For tests; not to be called while a copy may run on another thread.
CopyBytesFunction SetCopyBytes(CopyBytesFunction copy);

// Whether `error` says the disk is full.
using os::IsDiskFull;

// Whether a regular file (not a folder) exists at `path`; false for "" and on any error.
bool FileExists(const std::string& path);

// The file's length in bytes (capped at the largest signed 32-bit value), 0 when it
// cannot be read.
std::int32_t FileSizeOrZero(const std::string& path);

// Opens `path` for binary writes, creating it when missing and keeping its content
// otherwise, and returns its file number (1..255); 0 when no number is free. When the
// open itself fails the free number is still returned, naming no open file; it stays the
// caller's (no other open receives it) until CloseBinary gives it back.
std::int16_t OpenBinary(const std::string& path);

// Writes the first `count` characters of `text` (all of them when count <= 0), one byte
// each, at NextWritePos[fileNumber] and advances it. Any failure ends the call silently
// without advancing the position.
void WriteBinary(std::int16_t fileNumber, const std::string& text, std::int32_t count);

// Closes the file open under `fileNumber` and frees the number; false when closing fails
// or the number is out of range. A number naming no open file closes nothing and returns
// true.
bool CloseBinary(std::int16_t fileNumber);

// Deletes the file at `path`, ignoring any failure, and returns true when no file exists
// there afterwards.
bool RemoveFileIfPresent(const std::string& path);

}  // namespace pellix::files
