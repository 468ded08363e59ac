// POSIX side of the operating-system services: executable path and current directory.
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

}  // namespace pellix::os
