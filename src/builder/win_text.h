// Text conversions between the builder's UTF-8 strings and the wide strings of Windows.
#pragma once

#include <string>

namespace pellix::win {

// UTF-8 to UTF-16. Throws std::range_error when `text` is not valid UTF-8.
std::wstring ToWide(const std::string& text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);

// A short lower-case reason for a Windows error code (GetLastError), such as
// "no such file", without the trailing full stop and line end of the system's text.
std::string ErrorReason(unsigned long code);

}  // namespace pellix::win
