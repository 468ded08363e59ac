// The event pump the tool runner calls while a program runs.
#include "shell_wait.h"

#include <utility>

namespace pellix::modShellWait {

namespace {
std::function<void()> g_pump;
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
