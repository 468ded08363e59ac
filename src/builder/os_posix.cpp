// POSIX side of the operating-system services: executable path and current directory.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "staging_files.h"
#include "os.h"

namespace pellix::os {

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            throw std::runtime_error("cannot find the program's own folder: " +
                                     files::ErrorReason({errno, std::generic_category()}));
        }
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

void ChangeDirectory(const std::string& dir) {
    // No drives here: changing the directory is all there is.
    if (::chdir(dir.c_str()) != 0) {
        throw files::FileError("cannot enter the folder " + dir,
                               files::ErrorReason({errno, std::generic_category()}));
    }
}

FileLock::FileLock(const std::string& path, bool create) {
    // Read access is all flock needs, so a read-only lock file still serves.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && !create && errno == ENOENT) return;
    if (fd < 0) {
        throw files::FileError("cannot open the lock file " + path,
                               files::ErrorReason({errno, std::generic_category()}));
    }
    handle_ = fd;
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        held_ = true;
    } else if (errno != EWOULDBLOCK) {
        const int error = errno;
        ::close(fd);
        handle_ = -1;
        throw files::FileError("cannot lock the file " + path,
                               files::ErrorReason({error, std::generic_category()}));
    }
}

FileLock::~FileLock() {
    // Closing the only descriptor of the open file drops the lock.
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::error_code RenameNoReplace(const std::string& from, const std::string& to) {
    const auto lastError = [] { return std::error_code(errno, std::generic_category()); };
#ifdef SYS_renameat2
    constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kNoReplace) == 0)
        return {};
    // Some file systems (and older kernels) cannot refuse in the rename itself.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return lastError();
#endif
    // A hard link is never made over an existing name; the old name then goes.
    if (::link(from.c_str(), to.c_str()) != 0) return lastError();
    ::unlink(from.c_str());
    return {};
}

}  // namespace pellix::os
