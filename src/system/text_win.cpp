// The one UTF-8/UTF-16 converter, and Windows error codes as short reasons.
#include <windows.h>

#include <stdexcept>
#include <system_error>

#include "system/files.h"
#include "system/text.h"

namespace pellix::win {

std::wstring ToWide(const std::string& text, bool lenient) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const DWORD flags = lenient ? 0 : MB_ERR_INVALID_CHARS;
    const int n = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    if (n <= 0) throw std::range_error("not valid UTF-8");
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), n);
    return wide;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string narrow(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

std::string ErrorReason(unsigned long code) {
    std::string text =
        os::ErrorReason(std::error_code(static_cast<int>(code), std::system_category()));
    if (text.empty()) text = "Windows error " + std::to_string(code);
    return text;
}

}  // namespace pellix::win
