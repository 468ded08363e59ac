// gzip's operating-system calls on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "gzip_os.h"

namespace pellix::gzip::os {

FileFacts Inspect(const std::string& path) {
    FileFacts facts;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        facts.exists = true;
        facts.regular = S_ISREG(st.st_mode);
        facts.folder = S_ISDIR(st.st_mode);
        facts.mtime = static_cast<int64_t>(st.st_mtime);
    } else if (lstat(path.c_str(), &st) == 0) {
        facts.exists = true;  // a link to nothing
    }
    return facts;
}

std::FILE* CreateNewFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        unlink(path.c_str());
        errno = error;
    }
    return file;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void SetBinary(std::FILE*) {}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

}  // namespace pellix::gzip::os
