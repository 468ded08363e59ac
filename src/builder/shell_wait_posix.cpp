// POSIX tool runner: posix_spawn without a shell, stderr captured, a pidfd to wait on.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "command_line.h"
#include "staging_files.h"
#include "shell_wait.h"

extern char** environ;

namespace pellix::modShellWait {

namespace {

// Longest block between two calls of the event pump.
constexpr int kPollMillis = 5;

std::string Reason(int error) {
    return files::ErrorReason({error, std::generic_category()});
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

// Appends what can be read now, keeping the end of the text (see KeepLastLines); returns
// false once the pipe is closed for good.
bool Drain(int fd, std::string& text) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            KeepLastLines(text);
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

void Finish(int status, RunResult& result) {
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = -1;
        result.signal = WTERMSIG(status);
    }
}

}  // namespace

RunResult RunAndWait(const std::string& commandLine, const std::string& workingDir) {
    RunResult result;
    const std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) {
        result.errorText = "the command line names no program";
        return result;
    }
    if (CancelRequested()) {
        result.cancelled = true;
        result.errorText = "stopped before it started";
        return result;
    }
    // The child's change of folder fails with the same error as a missing program would,
    // so a missing folder is named here.
    if (!workingDir.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_directory(files::ToPath(workingDir), ec)) {
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
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.errorText = "cannot make a pipe: " + Reason(errno);
        return result;
    }
    Fd readEnd(pipeFds[0]);
    Fd writeEnd(pipeFds[1]);
    const int readFlags = ::fcntl(readEnd.fd, F_GETFL);
    if (readFlags < 0 || ::fcntl(readEnd.fd, F_SETFL, readFlags | O_NONBLOCK) != 0) {
        result.errorText = "cannot make a pipe: " + Reason(errno);
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, 2);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);

    pid_t pid = 0;
    // A path is run as given; a bare name is looked up like a shell would, without one.
    const bool hasSlash = args[0].find('/') != std::string::npos;
    const int spawnError =
        hasSlash ? ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ)
                 : ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    writeEnd.reset();
    if (spawnError != 0) {
        result.errorText = "cannot start " + args[0] + ": " + Reason(spawnError);
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
        if (pipeOpen) pipeOpen = Drain(readEnd.fd, result.errorText);
        PumpEvents();
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            // Someone else reaped it; its status is lost.
            return result;
        }
        if (CancelRequested()) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.cancelled = true;
            break;
        }
    }
    // Whatever the program wrote last is in the pipe already; a child it left running
    // may hold the pipe open, so read only what is there.
    if (pipeOpen) Drain(readEnd.fd, result.errorText);
    Finish(status, result);
    return result;
}

}  // namespace pellix::modShellWait
