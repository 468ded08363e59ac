// pellix.exe: starts the main window; the run ends when the last window has closed.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "win32/event_pump.h"
#include "win32/main_window.h"
#include "builder/shell_wait.h"

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
        code = pellix::win32::RunMessageLoop();
        pellix::modShellWait::SetEventPump({});
    } catch (const std::exception& error) {
        pellix::win32::ShowMessageBox(nullptr, error.what());
        code = 1;
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return code;
}
