// Starting a program for a test on POSIX systems: fork and exec, output into files.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "program.h"
#include "scratch.h"

namespace fs = std::filesystem;

namespace pellix::testing {

namespace {

fs::path OutputFile(const char* what) {
    static std::atomic<int> counter{0};
    return fs::temp_directory_path() / ("pellix-run-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(counter++) + what);
}

}  // namespace

Program::Program(const std::string& program, const std::vector<std::string>& args,
                 const fs::path& folder, const Environment& env, bool asNobody,
                 const fs::path& input)
    : folder_(folder), outPath_(OutputFile(".out")), errPath_(OutputFile(".err")) {
    const int outFd = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const int errFd = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nullFd = ::open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(125);
        ::dup2(nullFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outFd);
    ::close(errFd);
    if (pid < 0) throw std::runtime_error("cannot start " + program);
    handle_ = pid;
}

Program::~Program() {
    if (!ended_) Wait(0.0);
    std::error_code ec;
    fs::remove(outPath_, ec);
    fs::remove(errPath_, ec);
}

bool Program::Interrupt() {
    return ::kill(static_cast<pid_t>(handle_), SIGINT) == 0;
}

RunResult Program::Wait(double seconds) {
    RunResult result;
    const pid_t pid = static_cast<pid_t>(handle_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    ended_ = true;
    // As written: a program's standard output may be binary (gzip -c).
    result.out = ReadFile(outPath_);
    result.rawOut = result.out;
    result.err = ReadFile(errPath_);
    return result;
}

}  // namespace pellix::testing
