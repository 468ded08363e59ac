// File identity on POSIX systems: the device and inode numbers.
#include <sys/stat.h>

#include "system/file_identity.h"

namespace pellix::os {

FileIdentity IdentifyFile(const std::string& path) {
    FileIdentity identity;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return identity;
    identity.known = true;
    identity.volume = static_cast<std::uint64_t>(st.st_dev);
    identity.file = static_cast<std::uint64_t>(st.st_ino);
    return identity;
}

}  // namespace pellix::os
