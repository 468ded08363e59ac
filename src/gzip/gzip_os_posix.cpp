// gzip's operating-system calls on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

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

std::FILE* OpenForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

bool NameTooLong(int error) {
    return error == ENAMETOOLONG;
}

bool SyncToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool SetModificationTime(const std::string& path, int64_t seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

namespace {

// The temporary file's name for the signal handler: a fixed buffer it may read, published
// by an atomic flag, since a handler may neither allocate nor lock.
char watched[4096];
std::atomic<bool> watching{false};

extern "C" void RemoveAndStop(int sig) {
    if (watching.exchange(false)) unlink(watched);
    signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

void WatchTemporary(const std::string& path) {
    static const bool installed = [] {
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            struct sigaction action {};
            sigaction(sig, nullptr, &action);
            // A signal the caller chose to ignore stays ignored, as gzip does.
            if (action.sa_handler == SIG_IGN) continue;
            action.sa_handler = RemoveAndStop;
            sigemptyset(&action.sa_mask);
            action.sa_flags = 0;
            sigaction(sig, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
    watching = false;
    if (path.size() >= sizeof watched) return;
    std::memcpy(watched, path.c_str(), path.size() + 1);
    watching = true;
}

void ForgetTemporary() {
    watching = false;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void SetBinary(std::FILE*) {}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

}  // namespace pellix::gzip::os
