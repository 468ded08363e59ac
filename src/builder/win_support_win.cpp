// Windows helpers for the builder: UTF-8/UTF-16 conversions, error texts, file copy.
#include <windows.h>

#include <stdexcept>
#include <system_error>

#include "staging_files.h"
#include "win_support.h"

namespace pellix::win {

std::wstring ToWide(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (n <= 0) throw std::range_error("not valid UTF-8");
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), n);
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
        files::ErrorReason(std::error_code(static_cast<int>(code), std::system_category()));
    while (!text.empty() &&
           (text.back() == '.' || text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    if (text.empty()) text = "Windows error " + std::to_string(code);
    return text;
}

std::error_code CopyFileBytes(const std::filesystem::path& from, const std::filesystem::path& to,
                              bool exclusive) {
    if (::CopyFileW(from.c_str(), to.c_str(), exclusive ? TRUE : FALSE)) return {};
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

}  // namespace pellix::win
