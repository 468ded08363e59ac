// Whole-file reads, all-or-nothing writes and short reasons for operating-system errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "formats/format_error.h"

namespace pellix::formats {

// A FormatError tied to one named file; the programs print "PROGRAM: file(): what()".
class FileError : public FormatError {
  public:
    FileError(std::string file, const std::string& why)
        : FormatError(why), file_(std::move(file)) {}
    const std::string& file() const noexcept { return file_; }

  private:
    std::string file_;
};

// A short reason for an errno value, as used in one-line messages ("no such file").
std::string ErrnoText(int error);

// The same for a std::filesystem error code.
std::string ErrorText(const std::error_code& error);

// Returns the whole content of `path`. Throws FormatError with only the reason
// ("no such file", "is a folder", "permission denied", "too large: N bytes, at most M");
// the caller names the file. `maxSize` keeps a stray huge file out of memory.
std::vector<uint8_t> ReadFileBytes(const std::string& path, uint64_t maxSize = UINT64_MAX);

// An output file written under a temporary name beside it, which replaces the real one
// only on Commit, so a failed run never leaves a partial file behind. Every failure
// throws FileError naming the output; an uncommitted file is removed on destruction.
class PendingOutput {
  public:
    explicit PendingOutput(const std::string& output);
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    void Write(const uint8_t* data, size_t size);
    // Writes zeros up to `offset`.
    void PadTo(uint64_t offset);
    uint64_t Position() const { return position_; }
    // Flushes, closes and renames the file into place.
    void Commit();

  private:
    [[noreturn]] void Fail();

    std::string output_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    uint64_t position_ = 0;
};

// Replaces the file at `path` by `bytes` all at once (through a PendingOutput).
void ReplaceWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace pellix::formats
