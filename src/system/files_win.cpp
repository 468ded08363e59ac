// The file services on Windows, through the wide-character API.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "system/files.h"
#include "system/text.h"

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

std::string UserDataFolder() {
    const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
    return local ? win::ToUtf8(local) : std::string();
}

void ChangeDirectory(const std::string& dir) {
    const std::string what = "cannot enter the folder " + dir;
    std::wstring wide;
    try {
        wide = win::ToWide(dir);
    } catch (const std::range_error&) {
        throw FileError(what, "the name is not valid UTF-8");
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
            throw FileError(what, "there is no drive " + dir.substr(0, 2));
        }
    }
    if (!::SetCurrentDirectoryW(wide.c_str())) {
        const DWORD error = ::GetLastError();
        if (beforeLength > 0 && beforeLength < MAX_PATH) ::SetCurrentDirectoryW(before);
        throw FileError(what, win::ErrorReason(error));
    }
}

FileLock::FileLock(const std::string& path, bool create) {
    std::wstring wide;
    try {
        wide = win::ToWide(path);
    } catch (const std::range_error&) {
        throw FileError("cannot open the lock file " + path, "the name is not valid UTF-8");
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
        throw FileError("cannot open the lock file " + path, win::ErrorReason(error));
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    // One byte far beyond any file's end: a locked range bars other handles from its bytes,
    // and the file's own bytes must stay writable.
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        held_ = true;
    } else if (const DWORD error = ::GetLastError(); error != ERROR_LOCK_VIOLATION) {
        ::CloseHandle(file);
        handle_ = -1;
        throw FileError("cannot lock the file " + path, win::ErrorReason(error));
    }
}

FileLock::~FileLock() {
    // Closing the handle releases its locks.
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

namespace {

// A name the wide API can take; a name that is not UTF-8 names no file that can exist.
std::wstring WideName(const std::string& path) {
    try {
        return win::ToWide(path);
    } catch (const std::range_error&) {
        return L"?";
    }
}

// The errno value closest to a Windows error, for the one-line messages.
int ErrnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

}  // namespace

bool IsDiskFull(const std::error_code& error) {
    if (error.category() == std::system_category())
        return error.value() == ERROR_DISK_FULL || error.value() == ERROR_HANDLE_DISK_FULL;
    return error == std::errc::no_space_on_device;
}

bool IsFileExists(const std::error_code& error) {
    if (error.category() == std::system_category())
        return error.value() == ERROR_FILE_EXISTS || error.value() == ERROR_ALREADY_EXISTS;
    return error == std::errc::file_exists;
}

// CopyFileW, since the runtime's filesystem::copy_file takes any two files on one drive for
// the same file on Windows and refuses to replace them.
std::error_code CopyFileBytes(const std::filesystem::path& from, const std::filesystem::path& to,
                              bool exclusive) {
    if (::CopyFileW(from.c_str(), to.c_str(), exclusive ? TRUE : FALSE)) return {};
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

FileFacts Inspect(const std::string& path) {
    FileFacts facts;
    struct _stat64 st {};
    std::wstring wide = WideName(path);
    // _wstat64 finds no folder named with a separator at its end ("d\"), which a shell's
    // completion adds; a root ("C:\", "\") keeps its own.
    if (wide.size() > 1 && (wide.back() == L'\\' || wide.back() == L'/') &&
        wide[wide.size() - 2] != L':' && wide[wide.size() - 2] != L'\\' &&
        wide[wide.size() - 2] != L'/')
        wide.pop_back();
    if (_wstat64(wide.c_str(), &st) == 0) {
        facts.exists = true;
        facts.regular = (st.st_mode & _S_IFMT) == _S_IFREG;
        facts.folder = (st.st_mode & _S_IFMT) == _S_IFDIR;
        facts.mtime = static_cast<int64_t>(st.st_mtime);
    } else if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
        facts.exists = true;
    }
    return facts;
}

FileFacts InspectOpen(std::FILE* stream) {
    FileFacts facts;
    struct _stat64 st {};
    if (_fstat64(_fileno(stream), &st) == 0) {
        facts.exists = true;
        facts.regular = (st.st_mode & _S_IFMT) == _S_IFREG;
        facts.folder = (st.st_mode & _S_IFMT) == _S_IFDIR;
        facts.mtime = static_cast<int64_t>(st.st_mtime);
    }
    return facts;
}

std::FILE* CreateNewFile(const std::string& path, bool) {
    // Shared for deletion: the console handler of WatchTemporary must be able to remove it
    // while it is open.
    const HANDLE handle = CreateFileW(WideName(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoFor(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        _wremove(WideName(path).c_str());
        errno = EIO;
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        _close(fd);
        _wremove(WideName(path).c_str());
        errno = saved;
    }
    return file;
}

bool RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExW(WideName(from).c_str(), WideName(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = ErrnoFor(GetLastError());
    return false;
}

void SetBinary(std::FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
}

bool IsTerminal(std::FILE* stream) {
    // _isatty is true for any character device, the NUL device included; only a console
    // answers GetConsoleMode.
    DWORD mode = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

std::error_code RenameNoReplace(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    if (::MoveFileExW(WideName(from).c_str(), WideName(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return {};
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return std::make_error_code(std::errc::file_exists);
    return {static_cast<int>(error), std::system_category()};
}

std::FILE* OpenForReading(const std::string& path) {
    return _wfopen(WideName(path).c_str(), L"rb");
}

bool NameTooLong(int error) {
    return error == ENAMETOOLONG;
}

bool SyncToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool SetModificationTime(const std::string& path, int64_t seconds) {
    const HANDLE handle = CreateFileW(WideName(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    // FILETIME counts 100 ns from 1601.
    const uint64_t ticks = static_cast<uint64_t>(seconds + INT64_C(11644473600)) * 10000000u;
    FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool ok = SetFileTime(handle, nullptr, nullptr, &time) != 0;
    CloseHandle(handle);
    return ok;
}

namespace {

wchar_t watched[32768];
std::atomic<bool> watching{false};

// Runs on a thread of its own when the console is interrupted or closed; FALSE lets the
// system end the program as it would have.
BOOL WINAPI RemoveOnStop(DWORD) {
    if (watching.exchange(false)) DeleteFileW(watched);
    return FALSE;
}

}  // namespace

void WatchTemporary(const std::string& path) {
    static const bool installed = SetConsoleCtrlHandler(RemoveOnStop, TRUE) != 0;
    (void)installed;
    watching = false;
    const std::wstring wide = WideName(path);
    if (wide.size() >= sizeof watched / sizeof watched[0]) return;
    std::wmemcpy(watched, wide.c_str(), wide.size() + 1);
    watching = true;
}

void ForgetTemporary() {
    watching = false;
}

}  // namespace pellix::os
