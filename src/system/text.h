// The text the Windows API takes and gives: UTF-8/UTF-16 conversions and error texts.
#pragma once

#include <string>

namespace pellix::win {

// UTF-8 to UTF-16. Throws std::range_error when `text` is not valid UTF-8, unless
// `lenient`: then bytes that are not UTF-8 become U+FFFD (for text that is only shown).
std::wstring ToWide(const std::string& text, bool lenient = false);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);

// A short lower-case reason for a Windows error code (GetLastError), such as
// "no such file", without the trailing full stop and line end of the system's text.
std::string ErrorReason(unsigned long code);

}  // namespace pellix::win
