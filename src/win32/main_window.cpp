// frmPellix on Windows: the designed window over the shared main-window logic. It draws,
// forwards events to the logic and answers the logic's view calls; it decides nothing.
#include "win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "builder/work_folder.h"
#include "system/text.h"
#include "win32/browse_folders.h"
#include "win32/dpi.h"
#include "win32/event_pump.h"
#include "win32/open_file_dialog.h"
#include "win32/preview_window.h"

namespace pellix::win32 {

namespace {

using app::MainControl;

int Id(MainControl control) {
    return static_cast<int>(control);
}

// The main window: a sizing border, minimise but no maximise button.
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX;

// Closes every dialog box of this thread that is open, as its Cancel button would.
BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (::lstrcmpW(name, L"#32770") == 0 && ::IsWindowVisible(window))
        ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

namespace {

// The window the next message box is centred on, while the hook that centres it is set.
thread_local HWND t_centreOn = nullptr;
thread_local HHOOK t_centring = nullptr;

LRESULT CALLBACK CentreMessageBox(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = t_centring;
    if (code == HCBT_ACTIVATE) {
        // The box's first activation: it has its size, and is not shown yet.
        HWND box = reinterpret_cast<HWND>(wParam);
        RECT owner{}, own{};
        ::GetWindowRect(t_centreOn, &owner);
        ::GetWindowRect(box, &own);
        const int width = own.right - own.left;
        const int height = own.bottom - own.top;
        ::SetWindowPos(box, nullptr, owner.left + (owner.right - owner.left - width) / 2,
                       owner.top + (owner.bottom - owner.top - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::UnhookWindowsHookEx(hook);
        t_centring = nullptr;
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

void ShowMessageBox(HWND owner, const std::string& text) {
    // The system centres a box on the screen; with two windows open the user could not tell
    // which one it speaks for.
    if (owner != nullptr && ::IsWindowVisible(owner) && t_centring == nullptr) {
        t_centreOn = owner;
        t_centring = ::SetWindowsHookExW(WH_CBT, CentreMessageBox, nullptr, ::GetCurrentThreadId());
    }
    ::MessageBoxW(owner, Wide(text).c_str(), Wide(app::kMessageCaption).c_str(), MB_OK);
    if (t_centring != nullptr) {
        ::UnhookWindowsHookEx(t_centring);
        t_centring = nullptr;
    }
}

// The progress of a batch build of dropped ROMs: a small window with the current ROM, the
// count and a Cancel button, owned by the main window.
class MainWindow::BatchDialog {
  public:
    BatchDialog(HWND owner, std::size_t count) {
        const unsigned dpi = WindowDpi(owner);
        const auto px = [dpi](int base) { return ScaleFromBase(base, dpi); };
        const SIZE outer = OuterSize(px(360), px(90), kDialogStyle, WS_EX_DLGMODALFRAME, dpi);
        RECT ownerRect{};
        ::GetWindowRect(owner, &ownerRect);
        window_ = ::CreateWindowExW(
            WS_EX_DLGMODALFRAME, L"#32770", L"Quillmere", kDialogStyle,
            ownerRect.left + (ownerRect.right - ownerRect.left - outer.cx) / 2,
            ownerRect.top + (ownerRect.bottom - ownerRect.top - outer.cy) / 2, outer.cx, outer.cy,
            owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        font_ = reinterpret_cast<HFONT>(::SendMessageW(owner, WM_GETFONT, 0, 0));
        label_ = ::CreateWindowExW(
            0, L"STATIC", L"",
            WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, px(12),
            px(12), px(336), px(36), window_, nullptr, nullptr, nullptr);
        cancel_ = ::CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                    px(270), px(56), px(78), px(24), window_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)),
                                    nullptr, nullptr);
        for (HWND control : {label_, cancel_})
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        ::SetWindowSubclass(window_, &BatchDialog::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
        Step(0, count, "");
        ::ShowWindow(window_, SW_SHOW);
    }
    BatchDialog(const BatchDialog&) = delete;
    BatchDialog& operator=(const BatchDialog&) = delete;
    ~BatchDialog() {
        if (window_ != nullptr) ::DestroyWindow(window_);
    }
    void Step(std::size_t index, std::size_t count, const std::string& rom) {
        const std::string text =
            "Building " + std::to_string(index + 1) + " of " + std::to_string(count) + ":\n" + rom;
        ::SetWindowTextW(label_, Wide(text).c_str());
    }
    bool cancelled() const { return cancelled_; }

  private:
    static constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
        auto* self = reinterpret_cast<BatchDialog*>(data);
        if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
            self->cancelled_ = true;
            ::EnableWindow(self->cancel_, FALSE);
            return 0;
        }
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
    HWND label_ = nullptr;
    HWND cancel_ = nullptr;
    HFONT font_ = nullptr;
    bool cancelled_ = false;
};

MainWindow::MainWindow() : DesignWindow(app::MainWindowDesign(), kMainIdBase), logic_(*this) {}

MainWindow::~MainWindow() = default;

void MainWindow::Open(int show) {
    Create(kMainWindowClass, kStyle, 0);
    ::DragAcceptFiles(hwnd(), TRUE);
    ::ShowWindow(hwnd(), show);
    ::UpdateWindow(hwnd());
    logic_.Start();
}

std::string MainWindow::Text(MainControl control) {
    return ControlText(Id(control));
}

void MainWindow::SetText(MainControl control, const std::string& text) {
    SetControlText(Id(control), text);
}

app::Check MainWindow::CheckValue(MainControl control) {
    switch (::SendMessageW(Control(Id(control)), BM_GETCHECK, 0, 0)) {
        case BST_CHECKED:
            return app::Check::Checked;
        case BST_INDETERMINATE:
            return app::Check::Greyed;
        default:
            return app::Check::Unchecked;
    }
}

void MainWindow::SetCheckValue(MainControl control, app::Check value) {
    ::SendMessageW(Control(Id(control)), BM_SETCHECK,
                   value == app::Check::Checked  ? BST_CHECKED
                   : value == app::Check::Greyed ? BST_INDETERMINATE
                                                 : BST_UNCHECKED,
                   0);
}

void MainWindow::SetEnabled(MainControl control, bool enabled) {
    HWND window = Control(Id(control));
    if (window == nullptr) return;
    // A control that loses the focus by being disabled hands it on, so the keyboard
    // still reaches the window (a clicked "Go..." is disabled by its own build).
    if (!enabled && ::GetFocus() == window) {
        ::EnableWindow(window, FALSE);
        FocusControl(NextTabStop(hwnd(), window, false));
        return;
    }
    ::EnableWindow(window, enabled ? TRUE : FALSE);
}

void MainWindow::SetVisible(MainControl control, bool visible) {
    SetControlVisible(Id(control), visible);
}

void MainWindow::Place(MainControl control, const app::TwipsRect& rect) {
    PlaceControl(Id(control), rect);
}

void MainWindow::SetWindowHeight(int, int clientTwips) {
    // Title bars differ from the design's; the client height keeps the bottom banner
    // ending at the client area's bottom edge.
    SetClientHeight(clientTwips);
}

app::TwipsRectF MainWindow::OuterGeometry() {
    return OuterTwips();
}

void MainWindow::SetFocus(MainControl control) {
    FocusRow(Id(control));
}

void MainWindow::ShowMessage(const std::string& text) {
    ShowMessageBox(hwnd(), text);
}

std::string MainWindow::OpenFile(const app::FileDialogRequest& request) {
    ++choosersOpen_;
    // No owner: the main window stays usable while the dialog is open.
    std::string path = modOpenFileDialog::ShowOpenDialog(
        request.filter, request.defaultExt, request.initialDir, request.flags, nullptr);
    --choosersOpen_;
    return path;
}

std::string MainWindow::BrowseFolder(const app::FolderDialogRequest& request) {
    ++choosersOpen_;
    std::string folder =
        modBrowseFolders::BrowseFolder(hwnd(), request.title, request.flags, request.root);
    --choosersOpen_;
    return folder;
}

void MainWindow::CancelChoosers() {
    if (choosersOpen_ > 0) ::EnumThreadWindows(::GetCurrentThreadId(), CancelDialog, 0);
}

void MainWindow::CloseWindow() {
    if (hwnd() != nullptr) ::DestroyWindow(hwnd());
}

void MainWindow::SetBusy(bool busy) {
    busy_ = busy;
    // The cursor changes at once when it is over the window, not at the next mouse move.
    POINT at{};
    const HWND under = ::GetCursorPos(&at) ? ::WindowFromPoint(at) : nullptr;
    if (hwnd() != nullptr && under != nullptr && (under == hwnd() || ::IsChild(hwnd(), under)))
        ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_APPSTARTING : IDC_ARROW));
}

app::PreviewView* MainWindow::CreatePreview(std::function<void()> unloaded) {
    return PreviewWindow::Make(std::move(unloaded));
}

void MainWindow::BatchStarted(std::size_t count) {
    batch_ = std::make_unique<BatchDialog>(hwnd(), count);
}

void MainWindow::BatchStep(std::size_t index, std::size_t count, const std::string& rom) {
    if (batch_) batch_->Step(index, count, rom);
}

bool MainWindow::BatchCancelled() {
    return batch_ && batch_->cancelled();
}

void MainWindow::BatchFinished() {
    batch_.reset();
}

void MainWindow::OnCommand(int id, int code) {
    if (code != BN_CLICKED || ToggleCheckBox(id)) return;
    switch (static_cast<MainControl>(id - kMainIdBase)) {
        case MainControl::cmdBrowseROM:
            logic_.OnBrowseRom();
            break;
        case MainControl::cmdBrowseFolder:
            logic_.OnBrowseFolder();
            break;
        case MainControl::cmdBrowseIcon:
            logic_.OnBrowseIcon();
            break;
        case MainControl::cmdBrowseBorder:
            logic_.OnBrowseBorder();
            break;
        case MainControl::cmdGo:
            logic_.OnGo();
            break;
        case MainControl::cmdPreview:
            logic_.OnPreview();
            break;
        case MainControl::cmdCustomize:
            logic_.OnCustomize();
            break;
        default:
            break;  // IDOK and IDCANCEL from Enter and Esc: no button is default or cancel
    }
}

void MainWindow::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        ::DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.push_back(win::ToUtf8(path));
    }
    POINT at{};
    ::DragQueryPoint(drop, &at);
    ::DragFinish(drop);
    const int d = static_cast<int>(dpi());
    const app::DropPlace place = app::DropPlaceAt(
        app::PixelsToTwipsF(at.x, d), app::PixelsToTwipsF(at.y, d), logic_.CustomizeOpen());
    logic_.OnDrop(paths, place);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_CLOSE:
            if (logic_.OnCloseRequested()) ::DestroyWindow(hwnd());
            return 0;
        case WM_SETCURSOR:
            // Asked by the controls too (their default handling asks the parent first).
            if (busy_ && LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
                return TRUE;
            }
            break;
        case WM_ENDSESSION:
            // The session may end as soon as this returns, and a build below on the stack
            // cannot unwind before: it is stopped and its working folder removed here.
            if (wParam) StopAllBuildsNow();
            return 0;
        default:
            break;
    }
    return DesignWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace pellix::win32
