// File identity on Windows: the volume's serial number and the file's index on it.
#include <windows.h>

#include <stdexcept>

#include "system/file_identity.h"
#include "system/text.h"

namespace pellix::os {

FileIdentity IdentifyFile(const std::string& path) {
    FileIdentity identity;
    std::wstring wide;
    try {
        wide = win::ToWide(path);
    } catch (const std::range_error&) {
        return identity;
    }
    // Attributes alone are read, and every sharing mode allowed, so a file open elsewhere
    // is still looked at; the backup flag lets a folder be opened too.
    const HANDLE handle = ::CreateFileW(
        wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return identity;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info)) {
        identity.known = true;
        identity.volume = info.dwVolumeSerialNumber;
        identity.file =
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    ::CloseHandle(handle);
    return identity;
}

}  // namespace pellix::os
