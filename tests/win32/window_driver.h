// Finds and works the windows of another process the way an accessibility tool does: by
// window class, title and control id, with the messages the controls themselves answer.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace pellix::testing {

// How long a window or a result is waited for before a check fails.
constexpr int kWaitMillis = 30000;

// Polls `done` every 20 ms until it holds or `millis` have passed; whether it held.
inline bool WaitUntil(const std::function<bool()>& done, int millis = kWaitMillis) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

// The visible top-level windows of process `pid`.
inline std::vector<HWND> TopLevelWindows(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s->pid && ::IsWindowVisible(window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Every window below `parent`, at any depth.
inline std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> found;
    ::EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A control's text, asked of the control itself (an edit box's content, a label's caption).
inline std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, 5000, &got);
    text.resize(got);
    return text;
}

inline void SetTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                          SMTO_ABORTIFHUNG, 5000, &result);
}

// Presses a button without waiting for what the press sets off (a dialog, a build).
inline void Click(HWND button) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

inline int CheckState(HWND checkBox) {
    DWORD_PTR state = 0;
    ::SendMessageTimeoutW(checkBox, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return static_cast<int>(state);
}

// A window's rectangle relative to the client area of `reference`.
inline RECT RectIn(HWND window, HWND reference) {
    RECT r{};
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right, r.bottom};
}

// The visible dialog box (#32770) of `pid` that `accept` takes, waited for; null if none came.
inline HWND WaitForDialog(DWORD pid, const std::function<bool(HWND)>& accept,
                          int millis = kWaitMillis) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(pid)) {
                if (ClassOf(window) == L"#32770" && accept(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        millis);
    return found;
}

// The texts of a dialog's static controls, one after another (a message box's message).
inline std::wstring StaticTexts(HWND dialog) {
    std::wstring text;
    for (HWND child : Descendants(dialog)) {
        if (::lstrcmpiW(ClassOf(child).c_str(), L"Static") == 0) text += TextOf(child);
    }
    return text;
}

// Whether `dialog` is the system's file-open dialog: it has a file-name box.
inline HWND FileNameBox(HWND dialog) {
    // Explorer-style dialogs hold the name in the combo box cmb13 (0x47C), older ones in
    // the edit box edt1 (0x480).
    if (HWND combo = ::GetDlgItem(dialog, 0x47C)) {
        if (HWND edit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
        return combo;
    }
    return ::GetDlgItem(dialog, 0x480);
}

// Presses a dialog's button `id` (IDOK, IDCANCEL) as a click on it would.
inline void PressDialogButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

}  // namespace pellix::testing
