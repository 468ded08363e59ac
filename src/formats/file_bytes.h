// Whole-file reads and short, lower-case reasons for operating-system errors.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "format_error.h"

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
// ("no such file", "is a folder", "permission denied"); the caller names the file.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

}  // namespace pellix::formats
