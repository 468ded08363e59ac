// Windows side of the operating-system services: executable path and current drive/folder.
#include <direct.h>
#include <windows.h>

#include <cctype>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "staging_files.h"
#include "os.h"
#include "win_support.h"

namespace pellix::os {

std::string ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            throw std::runtime_error("cannot find the program's own folder: " +
                                     win::ErrorReason(::GetLastError()));
        }
        // A full buffer means the name was cut short; try again with more room.
        if (n < buffer.size()) return win::ToUtf8(std::wstring(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

void ChangeDirectory(const std::string& dir) {
    const std::string what = "cannot enter the folder " + dir;
    std::wstring wide;
    try {
        wide = win::ToWide(dir);
    } catch (const std::range_error&) {
        throw files::FileError(what, "the name is not valid UTF-8");
    }
    // The drive first, then the folder on it. A path without a drive letter (a network
    // share, \\server\share\...) has no drive to change to; the folder change covers it.
    const bool hasDrive =
        dir.size() >= 2 && dir[1] == ':' && std::isalpha(static_cast<unsigned char>(dir[0]));
    // A failed change leaves the process where it was, drive included.
    wchar_t before[MAX_PATH];
    const DWORD beforeLength = ::GetCurrentDirectoryW(MAX_PATH, before);
    if (hasDrive) {
        const int drive = std::toupper(static_cast<unsigned char>(dir[0])) - 'A' + 1;
        if (::_chdrive(drive) != 0) {
            throw files::FileError(what, "there is no drive " + dir.substr(0, 2));
        }
    }
    if (!::SetCurrentDirectoryW(wide.c_str())) {
        const DWORD error = ::GetLastError();
        if (beforeLength > 0 && beforeLength < MAX_PATH) ::SetCurrentDirectoryW(before);
        throw files::FileError(what, win::ErrorReason(error));
    }
}

FileLock::FileLock(const std::string& path, bool create) {
    std::wstring wide;
    try {
        wide = win::ToWide(path);
    } catch (const std::range_error&) {
        throw files::FileError("cannot open the lock file " + path, "the name is not valid UTF-8");
    }
    // Shared for reading, writing and deleting, so only the byte-range lock excludes; the
    // handle is not inheritable, so no program started meanwhile keeps it.
    const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (!create && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) return;
        throw files::FileError("cannot open the lock file " + path, win::ErrorReason(error));
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    OVERLAPPED at{};
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        held_ = true;
    } else if (const DWORD error = ::GetLastError(); error != ERROR_LOCK_VIOLATION) {
        ::CloseHandle(file);
        handle_ = -1;
        throw files::FileError("cannot lock the file " + path, win::ErrorReason(error));
    }
}

FileLock::~FileLock() {
    // Closing the handle releases its locks.
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::error_code RenameNoReplace(const std::string& from, const std::string& to) {
    std::wstring wideFrom, wideTo;
    try {
        wideFrom = win::ToWide(from);
        wideTo = win::ToWide(to);
    } catch (const std::range_error&) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH)) return {};
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return std::make_error_code(std::errc::file_exists);
    return {static_cast<int>(error), std::system_category()};
}

}  // namespace pellix::os
