// The message loop of the windows, keyboard navigation in design order, and the pump the
// tool runner calls while a build waits for a program.
#include "win32/event_pump.h"

#include <algorithm>
#include <utility>

namespace pellix::win32 {

namespace {

struct Navigation {
    HWND topLevel;
    std::vector<HWND> order;
};

std::vector<Navigation>& Registry() {
    static std::vector<Navigation> registry;
    return registry;
}

const Navigation* Find(HWND topLevel) {
    for (const Navigation& entry : Registry())
        if (entry.topLevel == topLevel) return &entry;
    return nullptr;
}

bool IsEditBox(HWND control) {
    wchar_t name[16] = {};
    ::GetClassNameW(control, name, 16);
    return ::lstrcmpiW(name, L"Edit") == 0;
}

void Dispatch(MSG& msg) {
    if (TranslateNavigation(msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

}  // namespace

void SetNavigation(HWND topLevel, std::vector<HWND> order) {
    ForgetNavigation(topLevel);
    Registry().push_back({topLevel, std::move(order)});
}

void ForgetNavigation(HWND topLevel) {
    auto& registry = Registry();
    registry.erase(std::remove_if(registry.begin(), registry.end(),
                                  [&](const Navigation& n) { return n.topLevel == topLevel; }),
                   registry.end());
}

bool CanTakeFocus(HWND control) {
    if (control == nullptr || !::IsWindowVisible(control) || !::IsWindowEnabled(control))
        return false;
    // A control inside a panel that has been folded away is still "visible" to the
    // system, but no one can see or click it.
    RECT rect;
    ::GetWindowRect(control, &rect);
    for (HWND parent = ::GetParent(control); parent != nullptr; parent = ::GetParent(parent)) {
        RECT client;
        ::GetClientRect(parent, &client);
        ::MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
        RECT inside;
        if (!::IntersectRect(&inside, &rect, &client)) return false;
        if ((::GetWindowLongPtrW(parent, GWL_STYLE) & WS_CHILD) == 0) break;
    }
    return true;
}

HWND FirstTabStop(HWND topLevel) {
    const Navigation* nav = Find(topLevel);
    if (nav == nullptr) return nullptr;
    for (HWND control : nav->order)
        if (CanTakeFocus(control)) return control;
    return nullptr;
}

HWND NextTabStop(HWND topLevel, HWND from, bool backwards) {
    const Navigation* nav = Find(topLevel);
    if (nav == nullptr || nav->order.empty()) return nullptr;
    const auto& order = nav->order;
    const std::size_t n = order.size();
    const auto at = std::find(order.begin(), order.end(), from);
    // From a window outside the order, Tab starts at the beginning (Shift+Tab at the end).
    std::size_t start =
        at == order.end() ? (backwards ? 0 : n - 1) : static_cast<std::size_t>(at - order.begin());
    for (std::size_t step = 1; step <= n; ++step) {
        const std::size_t i = backwards ? (start + n - step % n) % n : (start + step) % n;
        if (CanTakeFocus(order[i])) return order[i];
    }
    return nullptr;
}

void FocusControl(HWND control) {
    if (control == nullptr) return;
    ::SetFocus(control);
    if (IsEditBox(control)) ::SendMessageW(control, EM_SETSEL, 0, -1);
}

bool TranslateNavigation(MSG& msg) {
    if (msg.hwnd == nullptr) return false;
    HWND topLevel = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (Find(topLevel) == nullptr) return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && ::GetKeyState(VK_CONTROL) >= 0 &&
        ::GetKeyState(VK_MENU) >= 0) {
        const bool backwards = ::GetKeyState(VK_SHIFT) < 0;
        if (HWND next = NextTabStop(topLevel, ::GetFocus(), backwards)) FocusControl(next);
        return true;
    }
    return ::IsDialogMessageW(topLevel, &msg) != FALSE;
}

void DispatchPending() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return 1;
        Dispatch(msg);
    }
}

}  // namespace pellix::win32
