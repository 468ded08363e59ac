// Windows helpers for the builder: UTF-8/UTF-16 conversions, error texts, file copy.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace pellix::win {

// UTF-8 to UTF-16. Throws std::range_error when `text` is not valid UTF-8.
std::wstring ToWide(const std::string& text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);

// A short lower-case reason for a Windows error code (GetLastError), such as
// "no such file", without the trailing full stop and line end of the system's text.
std::string ErrorReason(unsigned long code);

// Copies `from` to `to`, replacing a file already there unless `exclusive` (then a file
// there is an error, ERROR_FILE_EXISTS); the error of the copy, if any. (The runtime's
// filesystem::copy_file takes any two files on one drive for the same file on Windows and
// refuses to replace them.)
std::error_code CopyFileBytes(const std::filesystem::path& from, const std::filesystem::path& to,
                              bool exclusive);

}  // namespace pellix::win
