// The event pump the tool runner calls while a program runs.
#include "shell_wait.h"

#include <mutex>
#include <thread>
#include <utility>

namespace pellix::modShellWait {

namespace {
std::mutex g_pumpMutex;
std::function<void()> g_pump;
std::thread::id g_pumpThread;
}  // namespace

RunResult RunAndWait(const std::string& commandLine) {
    return RunAndWait(commandLine, std::string());
}

void SetEventPump(std::function<void()> pump) {
    const std::lock_guard<std::mutex> lock(g_pumpMutex);
    g_pump = std::move(pump);
    g_pumpThread = std::this_thread::get_id();
}

void PumpEvents() {
    std::function<void()> pump;
    {
        const std::lock_guard<std::mutex> lock(g_pumpMutex);
        if (g_pumpThread != std::this_thread::get_id()) return;
        // A copy, so a pump that replaces itself while running stays alive to the end.
        pump = g_pump;
    }
    if (pump) pump();
}

}  // namespace pellix::modShellWait
