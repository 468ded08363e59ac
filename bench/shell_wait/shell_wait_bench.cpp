// Measures what waiting on a program costs: CPU time of the waiting process during a
// 5-second run, and the longest gap between two event dispatches.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "builder/shell_wait.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    using Clock = std::chrono::steady_clock;
    const std::string seconds = argc > 1 ? argv[1] : "5";

    long dispatches = 0;
    Clock::duration worstGap{};
    Clock::time_point last = Clock::now();
    pellix::modShellWait::SetEventPump([&] {
        const Clock::time_point now = Clock::now();
        worstGap = std::max(worstGap, now - last);
        last = now;
        ++dispatches;
    });

    const double cpuBefore = CpuSeconds();
    const Clock::time_point start = Clock::now();
    last = start;
    const auto result = pellix::modShellWait::RunAndWait("sleep " + seconds);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;

    if (!result.started || result.exitCode != 0) {
        std::fprintf(stderr, "shell_wait_bench: sleep did not run: %s\n", result.errorText.c_str());
        return 1;
    }
    std::printf("wait                 %.3f s\n", wall);
    std::printf("cpu of the waiter    %.4f s (%.3f %% of the wait; target under 5 %%)\n", cpu,
                100.0 * cpu / wall);
    std::printf("dispatches           %ld (%.1f per second)\n", dispatches,
                static_cast<double>(dispatches) / wall);
    std::printf("worst dispatch gap   %.2f ms (target under 20 ms)\n",
                std::chrono::duration<double, std::milli>(worstGap).count());
    return 0;
}
