// POSIX side of the operating-system services: executable path and current directory.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "modio.h"
#include "os.h"

namespace pellix::os {

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            throw std::runtime_error("cannot find the program's own folder: " +
                                     modIO::ErrorReason({errno, std::generic_category()}));
        }
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

void ChangeDirectory(const std::string& dir) {
    // No drives here: changing the directory is all there is.
    if (::chdir(dir.c_str()) != 0) {
        throw modIO::FileError("cannot enter the folder " + dir,
                               modIO::ErrorReason({errno, std::generic_category()}));
    }
}

FileLock::FileLock(const std::string& path) {
    // Read access is all flock needs, so a read-only lock file still serves.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw modIO::FileError("cannot open the lock file " + path,
                               modIO::ErrorReason({errno, std::generic_category()}));
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
        throw modIO::FileError("cannot lock the file " + path,
                               modIO::ErrorReason({error, std::generic_category()}));
    }
}

FileLock::~FileLock() {
    // Closing the only descriptor of the open file drops the lock.
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace pellix::os
