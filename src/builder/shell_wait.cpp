// The tool runner: a program run through the system layer with the window's event pump
// and the flag that stops every build.
#include "builder/shell_wait.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

namespace pellix::modShellWait {

namespace {
std::mutex g_pumpMutex;
std::function<void()> g_pump;
std::thread::id g_pumpThread;
std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "CancelAll must be signal-safe");
}  // namespace

RunResult RunAndWait(const std::string& commandLine, const std::string& workingDir) {
    return os::RunProcess(commandLine, workingDir, {PumpEvents, CancelRequested, KeepLastLines});
}

RunResult RunAndWait(const std::string& commandLine) {
    return RunAndWait(commandLine, std::string());
}

void KeepLastLines(std::string& text) {
    if (text.size() <= kErrorTextLimit) return;
    text.erase(0, text.size() - kErrorTextLimit);
    const std::size_t lineEnd = text.find('\n');
    if (lineEnd != std::string::npos && lineEnd + 1 < text.size()) text.erase(0, lineEnd + 1);
}

void CancelAll() {
    g_cancel.store(true);
}

bool CancelRequested() {
    return g_cancel.load();
}

void ResetCancel() {
    g_cancel.store(false);
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
