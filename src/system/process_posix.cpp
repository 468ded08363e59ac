// Programs on POSIX systems: fork and exec without a shell, stderr captured, a pidfd to wait
// on, and a parent-death signal so no program outlives the process that started it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "system/command_line.h"
#include "system/files.h"
#include "system/subprocess.h"

namespace pellix::os {

namespace {

// Longest block between two calls of the caller's wait function.
constexpr int kPollMillis = 5;

std::string Reason(int error) {
    return ErrorReason({error, std::generic_category()});
}

// Owns a file descriptor.
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset(int f = -1) {
        if (fd >= 0) ::close(fd);
        fd = f;
    }
};

// Appends what can be read now, trimmed by `trim`; returns false once the pipe is closed
// for good.
bool Drain(int fd, std::string& text, const std::function<void(std::string&)>& trim) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            if (trim) trim(text);
            continue;
        }
        if (n == 0) return false;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// The programs started and not yet reaped, each the leader of its own group.
std::mutex g_runningMutex;
std::set<pid_t> g_running;

void Running(pid_t pid, bool running) {
    const std::lock_guard<std::mutex> lock(g_runningMutex);
    if (running)
        g_running.insert(pid);
    else
        g_running.erase(pid);
}

void Finish(int status, ProcessResult& result) {
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = -1;
        result.signal = WTERMSIG(status);
    }
}

// The child's side, between fork and exec: only calls that are safe in a copy of a
// process with threads. Tells the parent why it failed through `report`.
[[noreturn]] void BecomeProgram(pid_t parent, int nullIn, int nullOut, int errors, int report,
                                const char* dir, const std::vector<char*>& argv, bool search) {
    // The parent-death signal is sent when the thread that forked ends, and that thread
    // waits for the program. A parent that died before this line is checked for after it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    // A group of its own, so that a stop also reaches what the program itself started.
    ::setpgid(0, 0);
    int error = 0;
    if (::dup2(nullIn, 0) < 0 || ::dup2(nullOut, 1) < 0 || ::dup2(errors, 2) < 0 ||
        (dir != nullptr && ::chdir(dir) != 0)) {
        error = errno;
    } else {
        if (search) {
            ::execvp(argv[0], argv.data());
        } else {
            ::execv(argv[0], argv.data());
        }
        error = errno;
    }
    while (::write(report, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

}  // namespace

ProcessResult RunProcess(const std::string& commandLine, const std::string& workingDir,
                         const ProcessWatch& watch) {
    ProcessResult result;
    const std::vector<std::string> args = ArgumentsToStart(commandLine, watch, result);
    if (args.empty()) return result;
    const auto stopRequested = [&] { return watch.stopRequested && watch.stopRequested(); };
    // The child's change of folder fails with the same error as a missing program would,
    // so a missing folder is named here.
    if (!workingDir.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_directory(std::filesystem::u8path(workingDir), ec)) {
            result.errorText = "cannot start " + args[0] + ": the working folder " + workingDir +
                               " does not exist";
            return result;
        }
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // Only our reading end is non-blocking: the writing end becomes the program's stderr,
    // and a program whose write fails with EAGAIN when the pipe is full may give up.
    int pipeFds[2];
    int reportFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.errorText = "cannot make a pipe: " + Reason(errno);
        return result;
    }
    Fd readEnd(pipeFds[0]);
    Fd writeEnd(pipeFds[1]);
    if (::pipe2(reportFds, O_CLOEXEC) != 0) {
        result.errorText = "cannot make a pipe: " + Reason(errno);
        return result;
    }
    Fd reportRead(reportFds[0]);
    Fd reportWrite(reportFds[1]);
    const int readFlags = ::fcntl(readEnd.fd, F_GETFL);
    if (readFlags < 0 || ::fcntl(readEnd.fd, F_SETFL, readFlags | O_NONBLOCK) != 0) {
        result.errorText = "cannot make a pipe: " + Reason(errno);
        return result;
    }
    Fd nullIn(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    Fd nullOut(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (nullIn.fd < 0 || nullOut.fd < 0) {
        result.errorText = "cannot open the null device: " + Reason(errno);
        return result;
    }

    // A path is run as given; a bare name is looked up like a shell would, without one.
    const bool search = args[0].find('/') == std::string::npos;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.errorText = "cannot start " + args[0] + ": " + Reason(errno);
        return result;
    }
    if (pid == 0) {
        BecomeProgram(parent, nullIn.fd, nullOut.fd, writeEnd.fd, reportWrite.fd,
                      workingDir.empty() ? nullptr : workingDir.c_str(), argv, search);
    }
    ::setpgid(pid, pid);  // also here, so the group exists before any stop is sent to it
    Running(pid, true);
    struct Reaped {
        pid_t pid;
        ~Reaped() { Running(pid, false); }
    } reaped{pid};
    writeEnd.reset();
    reportWrite.reset();
    nullIn.reset();
    nullOut.reset();
    // The report pipe closes unread when exec succeeds; otherwise it holds the reason.
    int startError = 0;
    ssize_t got;
    while ((got = ::read(reportRead.fd, &startError, sizeof startError)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof startError)) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.errorText = "cannot start " + args[0] + ": " + Reason(startError);
        return result;
    }
    result.started = true;

    Fd pidFd(OpenPidFd(pid));
    bool pipeOpen = true;
    int status = 0;
    for (;;) {
        pollfd fds[2];
        nfds_t count = 0;
        if (pipeOpen) fds[count++] = {readEnd.fd, POLLIN, 0};
        if (pidFd.fd >= 0) fds[count++] = {pidFd.fd, POLLIN, 0};
        if (count > 0) {
            ::poll(fds, count, kPollMillis);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMillis));
        }
        if (pipeOpen) pipeOpen = Drain(readEnd.fd, result.errorText, watch.trimErrors);
        if (watch.whileWaiting) watch.whileWaiting();
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            // Someone else reaped it; its status is lost.
            return result;
        }
        if (stopRequested()) {
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.cancelled = true;
            break;
        }
    }
    // Whatever the program wrote last is in the pipe already; a child it left running
    // may hold the pipe open, so read only what is there.
    if (pipeOpen) Drain(readEnd.fd, result.errorText, watch.trimErrors);
    Finish(status, result);
    return result;
}

void StopAllPrograms() {
    const std::lock_guard<std::mutex> lock(g_runningMutex);
    for (const pid_t pid : g_running) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
}

}  // namespace pellix::os
