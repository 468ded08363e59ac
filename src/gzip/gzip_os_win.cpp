// gzip's operating-system calls on Windows, through the wide-character API.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

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
    int fd = -1;
    const errno_t error =
        _wsopen_s(&fd, Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYWR,
                  _S_IREAD | _S_IWRITE);
    if (error != 0 || fd < 0) {
        errno = error != 0 ? error : EIO;
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
