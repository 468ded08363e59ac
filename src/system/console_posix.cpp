// The console on POSIX systems: signals, terminal test, processor count.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "console.h"

namespace pellix::console {

namespace {

void (*volatile g_onInterrupt)() = nullptr;

volatile sig_atomic_t g_signal = 0;

void OnSignal(int number) {
    g_signal = number;
    if (g_onInterrupt) g_onInterrupt();
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::vector<std::string> ExpandWildcards(const std::vector<std::string>& roms) {
    return roms;
}

void PrepareOutput() {}

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
