// gzip's operating-system calls on Windows, through the wide-character API.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cwchar>

#include "gzip_os.h"

namespace pellix::gzip::os {

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
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

FileFacts Inspect(const std::string& path) {
    FileFacts facts;
    struct _stat64 st {};
    const std::wstring wide = Wide(path);
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

std::FILE* CreateNewFile(const std::string& path) {
    // Shared for deletion: the console handler below must be able to remove it while open.
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoFor(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        _wremove(Wide(path).c_str());
        errno = EIO;
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        _close(fd);
        _wremove(Wide(path).c_str());
        errno = saved;
    }
    return file;
}

std::FILE* OpenForReading(const std::string& path) {
    return _wfopen(Wide(path).c_str(), L"rb");
}

bool NameTooLong(int error) {
    return error == ENAMETOOLONG;
}

bool SyncToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool SetModificationTime(const std::string& path, int64_t seconds) {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
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
    const std::wstring wide = Wide(path);
    if (wide.size() >= sizeof watched / sizeof watched[0]) return;
    std::wmemcpy(watched, wide.c_str(), wide.size() + 1);
    watching = true;
}

void ForgetTemporary() {
    watching = false;
}

bool RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
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

}  // namespace pellix::gzip::os
