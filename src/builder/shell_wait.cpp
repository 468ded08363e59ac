// The event pump the tool runner calls while a program runs, and the flag that stops it.
#include "shell_wait.h"

#include <atomic>
#include <utility>

namespace pellix::modShellWait {

namespace {
std::function<void()> g_pump;
std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "CancelAll must be signal-safe");
}  // namespace

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
    g_pump = std::move(pump);
}

void PumpEvents() {
    // A copy, so a pump that replaces itself while running stays alive to the end.
    const std::function<void()> pump = g_pump;
    if (pump) pump();
}

}  // namespace pellix::modShellWait
