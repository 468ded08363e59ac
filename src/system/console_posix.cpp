// The console on POSIX systems: signals, terminal test, processor count.
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iostream>
#include <streambuf>
#include <thread>

#include "system/console.h"

namespace pellix::console {

namespace {

void (*volatile g_onInterrupt)() = nullptr;

volatile sig_atomic_t g_signal = 0;

void OnSignal(int number) {
    g_signal = number;
    if (g_onInterrupt) g_onInterrupt();
}

// Writes to a descriptor whatever its mode. A descriptor shared with a program that made it
// non-blocking answers EAGAIN when its pipe is full, and a standard stream would then drop
// the rest of the output without a word; this one waits until it can write.
class DescriptorOutput : public std::streambuf {
  public:
    explicit DescriptorOutput(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }

  protected:
    int overflow(int c) override {
        if (sync() != 0) return traits_type::eof();
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override {
        const char* at = pbase();
        int result = 0;
        while (at < pptr()) {
            const ssize_t n = ::write(fd_, at, static_cast<std::size_t>(pptr() - at));
            if (n > 0) {
                at += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd ready{fd_, POLLOUT, 0};
                ::poll(&ready, 1, -1);
            } else if (n < 0 && errno != EINTR) {
                result = -1;  // a reader that has gone: the rest is lost, as with any stream
                break;
            }
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return result;
    }

  private:
    int fd_;
    char buffer_[4096];
};

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::vector<std::string> ExpandWildcards(const std::vector<std::string>& roms) {
    return roms;
}

void PrepareOutput() {
    // Never freed: the streams are flushed after every static object has gone.
    static DescriptorOutput* const out = new DescriptorOutput(STDOUT_FILENO);
    static DescriptorOutput* const err = new DescriptorOutput(STDERR_FILENO);
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

bool OutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

void StopOnInterrupt(void (*onInterrupt)()) {
    g_onInterrupt = onInterrupt;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a copy or a write in progress is not broken off by the signal.
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(number, &action, nullptr);
    // Output into a pipe whose reader has gone (pellix-cli ... | head) must not end the
    // program before it has cleaned up; the lines are lost, the builds go on.
    ::signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() {
    return g_signal != 0;
}

void EndIfInterrupted() {
    const int number = g_signal;
    if (number == 0) return;
    ::signal(number, SIG_DFL);
    ::raise(number);
    ::_exit(128 + number);
}

int ProcessorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

}  // namespace pellix::console
