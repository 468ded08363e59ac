// The file services on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "system/files.h"

namespace pellix::os {

std::string UserDataFolder() {
    // As freedesktop.org's base directory rules say: a relative XDG_DATA_HOME is ignored.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return "";
    std::string folder = home;
    if (folder.back() != '/') folder += '/';
    return folder + ".local/share";
}

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            throw std::runtime_error("cannot find the program's own folder: " +
                                     ErrorReason({errno, std::generic_category()}));
        }
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

void ChangeDirectory(const std::string& dir) {
    // No drives here: changing the directory is all there is.
    if (::chdir(dir.c_str()) != 0) {
        throw FileError("cannot enter the folder " + dir,
                               ErrorReason({errno, std::generic_category()}));
    }
}

FileLock::FileLock(const std::string& path, bool create) {
    // Read access is all flock needs, so a read-only lock file still serves.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && !create && errno == ENOENT) return;
    if (fd < 0) {
        throw FileError("cannot open the lock file " + path,
                               ErrorReason({errno, std::generic_category()}));
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
        throw FileError("cannot lock the file " + path,
                               ErrorReason({error, std::generic_category()}));
    }
}

FileLock::~FileLock() {
    // Closing the only descriptor of the open file drops the lock.
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool IsDiskFull(const std::error_code& error) {
    return error == std::errc::no_space_on_device;
}

bool IsFileExists(const std::error_code& error) {
    return error == std::errc::file_exists;
}

// A plain read and write loop: the library's copy reports a short copy (a full disk) as
// an input/output error, and this one reports what the write said.
std::error_code CopyFileBytes(const std::filesystem::path& from, const std::filesystem::path& to,
                              bool exclusive) {
    const auto lastError = [] { return std::error_code(errno, std::generic_category()); };
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return lastError();
    struct stat status {};
    if (::fstat(in, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(in);
        return std::make_error_code(std::errc::invalid_argument);
    }
    ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
    const int out =
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC), 0666);
    if (out < 0) {
        const std::error_code error = lastError();
        ::close(in);
        return error;
    }
    std::error_code error;
    // The kernel copies the bytes itself (or shares the blocks, where the file system can),
    // sparing a trip of every byte through this process; what it declines (another file
    // system, an old kernel) the loop below copies, from where it stopped.
    for (off_t left = status.st_size; left > 0;) {
        const ssize_t put =
            ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
        if (put > 0) {
            left -= put;
        } else if (put == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                   errno == EOPNOTSUPP || errno == EPERM) {
            break;
        } else if (errno != EINTR) {
            error = lastError();
            break;
        }
    }
    std::vector<char> buffer(1 << 16);
    while (!error) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = lastError();
            break;
        }
        for (ssize_t done = 0; done < got && !error;) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno != EINTR) error = lastError();
            if (put > 0) done += put;
        }
        if (error) break;
    }
    ::close(in);
    // A network disk may tell of a full disk only when the file is closed.
    if (::close(out) != 0 && !error) error = lastError();
    return error;
}

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

FileFacts InspectOpen(std::FILE* stream) {
    FileFacts facts;
    struct stat st {};
    if (fstat(fileno(stream), &st) == 0) {
        facts.exists = true;
        facts.regular = S_ISREG(st.st_mode);
        facts.folder = S_ISDIR(st.st_mode);
        facts.mtime = static_cast<int64_t>(st.st_mtime);
    }
    return facts;
}

std::FILE* CreateNewFile(const std::string& path, bool ownerOnly) {
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
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

}  // namespace pellix::os
