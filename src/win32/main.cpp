// pellix.exe: starts the main window; the run ends when the last window has closed, or when
// the program is interrupted.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "builder/shell_wait.h"
#include "system/console.h"
#include "win32/event_pump.h"
#include "win32/main_window.h"

namespace {

pellix::win32::MainWindow* g_window = nullptr;

// An interrupt (Ctrl-C, Ctrl-Break or closing the console the program was started from)
// closes the window as the user would: a running build stops and cleans up first. The
// console's handler runs on a thread of its own and only sets flags; this looks at them.
void CALLBACK WatchInterrupts(HWND, UINT, UINT_PTR, DWORD) {
    if (!pellix::console::Interrupted() || g_window == nullptr) return;
    if (g_window->hwnd() != nullptr)
        ::SendMessageW(g_window->hwnd(), WM_CLOSE, 0, 0);
    else
        ::PostQuitMessage(130);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    // The folder browser is a shell dialog and needs COM in a single-threaded apartment.
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    int code = 0;
    try {
        pellix::win32::MainWindow window;
        window.Open(show);
        // Keeps the windows live while a build waits for one of its programs.
        pellix::modShellWait::SetEventPump(&pellix::win32::DispatchPending);
        g_window = &window;
        pellix::console::StopOnInterrupt(&pellix::modShellWait::CancelAll);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, WatchInterrupts);
        code = pellix::win32::RunMessageLoop();
        ::KillTimer(nullptr, timer);
        g_window = nullptr;
        pellix::modShellWait::SetEventPump({});
    } catch (const std::exception& error) {
        pellix::win32::ShowMessageBox(nullptr, error.what());
        code = 1;
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    // Lets a closing console go, and ends with 130 as pellix-cli does.
    pellix::console::EndIfInterrupted();
    return code;
}
