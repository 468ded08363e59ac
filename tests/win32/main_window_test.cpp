// The Win32 main window in this process: the view calls the shared logic makes, the
// colours its controls are painted with, the icon, and the fold at the window's DPI.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "display.h"
#include "win32/dpi.h"
#include "win32/event_pump.h"
#include "win32/main_window.h"
#include "system/text.h"
#include "window_driver.h"

namespace pellix::win32 {
namespace {

using app::MainControl;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PELLIX_REQUIRE_DISPLAY();
        // The window of the test before posted WM_QUIT when it went (the program's last
        // window closing); a message box would take it as the end of its own loop.
        MSG quit;
        while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        window.Open(SW_SHOWNORMAL);
        ASSERT_NE(window.hwnd(), nullptr);
    }
    HWND Ctl(MainControl control) { return window.Control(static_cast<int>(control)); }
    MainWindow window;
};

TEST_F(MainWindowTest, CarriesTheProgramIconAtBothSizes) {
    EXPECT_NE(::SendMessageW(window.hwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(window.hwnd(), WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(MainWindowTest, TextsAndCheckValuesGoThroughUnchanged) {
    for (MainControl box : {MainControl::txtROM, MainControl::txtTitle1, MainControl::txtIcon}) {
        for (const char* text :
             {"", "C:\\roms\\Jeu été.gba", "日本語 ☕ \xF0\x9F\x8E\xAE", "a;b|c"}) {
            window.SetText(box, text);
            EXPECT_EQ(window.Text(box), text);
        }
    }
    using app::Check;
    for (Check value : {Check::Unchecked, Check::Greyed, Check::Checked}) {
        window.SetCheckValue(MainControl::chkPSRAM, value);
        EXPECT_EQ(window.CheckValue(MainControl::chkPSRAM), value);
    }
    // A click (also Space) moves between checked and unchecked only; greyed goes to checked.
    struct Click {
        Check before, after;
    };
    for (const Click c :
         {Click{Check::Checked, Check::Unchecked}, Click{Check::Unchecked, Check::Checked},
          Click{Check::Greyed, Check::Checked}}) {
        window.SetCheckValue(MainControl::chkCompression, c.before);
        ::SendMessageW(Ctl(MainControl::chkCompression), BM_CLICK, 0, 0);
        EXPECT_EQ(window.CheckValue(MainControl::chkCompression), c.after);
    }
}

TEST_F(MainWindowTest, ControlsArePaintedInTheDesignColours) {
    struct Case {
        MainControl control;
        UINT message;
        COLORREF back;  // the brush the control is filled with
        COLORREF text;
    };
    const COLORREF panel = RGB(0, 224, 224);
    const Case cases[] = {
        // The check boxes sit on their panel's colour, not the system's button colour.
        {MainControl::chkPSRAM, WM_CTLCOLORSTATIC, panel, 0},
        {MainControl::chkCompression, WM_CTLCOLORSTATIC, panel, 0},
        {MainControl::romLabel, WM_CTLCOLORSTATIC, panel, RGB(0, 128, 128)},
        {MainControl::iconLabel, WM_CTLCOLORSTATIC, panel, RGB(0, 0, 0)},
        {MainControl::borderHint, WM_CTLCOLORSTATIC, panel, RGB(0, 128, 128)},
        {MainControl::txtROM, WM_CTLCOLOREDIT, RGB(0, 128, 128), RGB(255, 255, 255)},
        {MainControl::txtBorder, WM_CTLCOLOREDIT, RGB(0, 128, 128), RGB(255, 255, 255)},
        {MainControl::cmdCustomize, WM_CTLCOLORBTN, panel, 0},  // over the panel's strip
        {MainControl::cmdBrowseROM, WM_CTLCOLORBTN, panel, 0},
    };
    HDC dc = ::CreateCompatibleDC(nullptr);
    for (const Case& c : cases) {
        HWND control = Ctl(c.control);
        ::SetTextColor(dc, 0);
        const auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageW(::GetParent(control), c.message, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(control)));
        ASSERT_NE(brush, nullptr) << static_cast<int>(c.control);
        LOGBRUSH info{};
        ::GetObjectW(brush, sizeof info, &info);
        EXPECT_EQ(info.lbColor, c.back) << static_cast<int>(c.control);
        if (c.message != WM_CTLCOLORBTN) {
            EXPECT_EQ(::GetTextColor(dc), c.text) << static_cast<int>(c.control);
        }
    }
    ::DeleteDC(dc);

    // And on the screen: the corners of a check box's box show the panel.
    ::UpdateWindow(window.hwnd());
    ::RedrawWindow(window.hwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HWND check = Ctl(MainControl::chkCompression);
    HDC screen = ::GetDC(check);
    RECT box{};
    ::GetClientRect(check, &box);
    EXPECT_EQ(::GetPixel(screen, box.right - 1, box.bottom - 1), panel);
    EXPECT_EQ(::GetPixel(screen, box.right - 1, 0), panel);
    ::ReleaseDC(check, screen);
}

TEST_F(MainWindowTest, FoldSetsTheClientHeightAtTheWindowsDpi) {
    const int dpi = static_cast<int>(WindowDpi(window.hwnd()));
    const auto clientHeight = [&] {
        RECT r{};
        ::GetClientRect(window.hwnd(), &r);
        return r.bottom;
    };
    EXPECT_EQ(clientHeight(), app::TwipsToPixels(6015, dpi));
    window.logic().OnCustomize();
    EXPECT_EQ(clientHeight(), app::TwipsToPixels(7365, dpi));
    EXPECT_TRUE(::IsWindowVisible(Ctl(MainControl::customHint)));
    // The user makes the window wider; the next fold keeps the width.
    RECT outer{};
    ::GetWindowRect(window.hwnd(), &outer);
    ::SetWindowPos(window.hwnd(), nullptr, 0, 0, outer.right - outer.left + 50, 300,
                   SWP_NOMOVE | SWP_NOZORDER);
    window.logic().OnCustomize();
    EXPECT_EQ(clientHeight(), app::TwipsToPixels(6015, dpi));
    RECT after{};
    ::GetWindowRect(window.hwnd(), &after);
    EXPECT_EQ(after.right - after.left, outer.right - outer.left + 50);
}

// While busy, the window and every control in it ask for the cursor of "working, still
// usable"; afterwards for their own again.
TEST_F(MainWindowTest, TheBusyCursorShowsOverTheWholeWindow) {
    const HCURSOR working = ::LoadCursorW(nullptr, IDC_APPSTARTING);
    const auto cursorOver = [](HWND where) {
        ::SetCursor(nullptr);
        ::SendMessageW(where, WM_SETCURSOR, reinterpret_cast<WPARAM>(where),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return ::GetCursor();
    };
    for (HWND where : {window.hwnd(), Ctl(MainControl::txtROM), Ctl(MainControl::cmdGo)}) {
        window.SetBusy(true);
        EXPECT_EQ(cursorOver(where), working);
        window.SetBusy(false);
        EXPECT_NE(cursorOver(where), working);
    }
}

TEST_F(MainWindowTest, DisablingTheFocusedButtonHandsTheFocusOn) {
    window.SetEnabled(MainControl::cmdGo, true);
    ::SetFocus(Ctl(MainControl::cmdGo));
    ASSERT_EQ(::GetFocus(), Ctl(MainControl::cmdGo));
    window.SetEnabled(MainControl::cmdGo, false);
    EXPECT_NE(::GetFocus(), nullptr);
    EXPECT_TRUE(::IsChild(window.hwnd(), ::GetFocus()));
}

// What a control shows on the screen, pixel by pixel.
std::vector<COLORREF> Painted(HWND control) {
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT r{};
    ::GetClientRect(control, &r);
    HDC screen = ::GetDC(control);
    HDC copy = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, r.right, r.bottom);
    HGDIOBJ old = ::SelectObject(copy, bitmap);
    ::BitBlt(copy, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) pixels.push_back(::GetPixel(copy, x, y));
    ::SelectObject(copy, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(copy);
    ::ReleaseDC(control, screen);
    return pixels;
}

// Every button and check box shows when it has the focus, the caption-less check boxes too.
TEST_F(MainWindowTest, FocusCanBeSeenOnEveryButtonAndCheckBox) {
    window.SetEnabled(MainControl::cmdGo, true);
    window.logic().OnCustomize();
    for (int id : app::TabOrder(app::MainWindowDesign())) {
        const app::ControlDesign& row = app::MainWindowDesign().controls[id];
        if (row.kind == app::ControlKind::TextBox) continue;  // the caret shows it
        SCOPED_TRACE(row.name);
        HWND control = window.Control(id);
        ::SetFocus(Ctl(MainControl::txtROM));
        DispatchPending();
        const std::vector<COLORREF> without = Painted(control);
        ::SetFocus(control);
        DispatchPending();
        ASSERT_EQ(::GetFocus(), control);
        EXPECT_NE(Painted(control), without);
    }
}

// A message box belongs to its window and sits over its middle.
TEST_F(MainWindowTest, MessageBoxesAreOwnedByTheWindowAndCentredOnIt) {
    ::SetWindowPos(window.hwnd(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND owner = nullptr;
    RECT box{};
    std::thread user([&] {
        HWND dialog =
            pellix::testing::WaitForDialog(::GetCurrentProcessId(), [](HWND) { return true; });
        if (dialog == nullptr) return;
        owner = ::GetWindow(dialog, GW_OWNER);
        ::GetWindowRect(dialog, &box);
        pellix::testing::PressDialogButton(dialog, IDOK);
    });
    window.ShowMessage("Complete!");
    user.join();
    EXPECT_EQ(owner, window.hwnd());
    RECT main{};
    ::GetWindowRect(window.hwnd(), &main);
    EXPECT_NEAR((box.left + box.right) / 2.0, (main.left + main.right) / 2.0, 1.0);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, (main.top + main.bottom) / 2.0, 1.0);
}

// The open-file dialog has no owner, so the window still takes clicks while it is up; a
// second "Browse..." opens nothing and queues nothing.
TEST_F(MainWindowTest, ASecondBrowseOpensNoSecondDialog) {
    const DWORD pid = ::GetCurrentProcessId();
    const auto fileDialogs = [pid] {
        int count = 0;
        for (HWND w : pellix::testing::TopLevelWindows(pid))
            count += pellix::testing::ClassOf(w) == L"#32770" &&
                     pellix::testing::FileNameBox(w) != nullptr;
        return count;
    };
    window.SetText(MainControl::txtROM, "kept.gba");
    int most = 0;
    std::thread user([&] {
        HWND dialog = pellix::testing::WaitForDialog(
            pid, [](HWND d) { return pellix::testing::FileNameBox(d) != nullptr; });
        if (dialog == nullptr) return;
        for (MainControl button :
             {MainControl::cmdBrowseROM, MainControl::cmdBrowseIcon, MainControl::cmdBrowseROM}) {
            pellix::testing::Click(Ctl(button));
            pellix::testing::WaitUntil([&] { return fileDialogs() > 1; }, 1500);
            most = std::max(most, fileDialogs());
        }
        pellix::testing::PressDialogButton(dialog, IDCANCEL);
    });
    window.logic().OnBrowseRom();
    user.join();
    DispatchPending();
    EXPECT_EQ(most, 1);
    EXPECT_EQ(fileDialogs(), 0) << "nothing was queued to open later";
    EXPECT_EQ(window.Text(MainControl::txtROM), "") << "the one dialog's cancel empties the row";
}

namespace fs = std::filesystem;

// What Explorer hands a window when files are dropped on it: the wide paths at `at`
// (client coordinates).
HDROP MakeDrop(const std::vector<fs::path>& files, POINT at) {
    std::wstring list;
    for (const fs::path& file : files) list += file.wstring() + L'\0';
    list += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = at;
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
                list.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(MainWindowTest, DroppedFilesAreChosenOrRefusedWithAMessage) {
    const fs::path folder = fs::temp_directory_path() / L"pellix drop tëst";
    fs::create_directories(folder);
    const fs::path rom = folder / L"Jeu été.gba";
    const fs::path picture = folder / L"box art.png";
    const fs::path text = folder / L"notes.txt";
    for (const fs::path& file : {rom, picture, text}) std::ofstream(file) << "x";

    // The middle of a control, in the window's client coordinates.
    const auto middle = [&](MainControl control) {
        const RECT r = pellix::testing::RectIn(Ctl(control), window.hwnd());
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    struct Case {
        std::vector<fs::path> files;
        MainControl at;
        bool unfold;          // open the panel first
        MainControl changed;  // the box the drop fills, or that a refusal leaves alone
        bool refused;         // a message says why and nothing changes
    };
    const Case cases[] = {
        {{rom}, MainControl::txtTitle2, false, MainControl::txtROM, false},
        {{text}, MainControl::txtROM, false, MainControl::txtROM, true},
        {{picture}, MainControl::txtTitle1, false, MainControl::txtIcon, true},  // panel folded
        {{picture}, MainControl::txtIcon, true, MainControl::txtIcon, false},
        {{picture}, MainControl::txtBorder, false, MainControl::txtBorder, false},
        {{picture, text}, MainControl::txtIcon, false, MainControl::txtIcon, true},
    };
    for (const Case& c : cases) {
        if (c.unfold) window.logic().OnCustomize();
        const std::string before = window.Text(c.changed);
        std::wstring message;
        std::thread user([&] {
            if (!c.refused) return;
            HWND box =
                pellix::testing::WaitForDialog(::GetCurrentProcessId(), [](HWND) { return true; });
            if (box == nullptr) return;
            message = pellix::testing::StaticTexts(box);

            pellix::testing::PressDialogButton(box, IDOK);
        });
        ::SendMessageW(window.hwnd(), WM_DROPFILES,
                       reinterpret_cast<WPARAM>(MakeDrop(c.files, middle(c.at))), 0);
        user.join();
        if (!c.refused) {
            EXPECT_EQ(window.Text(c.changed), win::ToUtf8(c.files.front().wstring()));
        } else {
            EXPECT_FALSE(message.empty()) << "a refusal is explained";
            EXPECT_EQ(window.Text(c.changed), before) << "a refused drop changes nothing";
        }
    }
    // The ROM's drop did what Browse... does.
    EXPECT_EQ(window.Text(MainControl::txtOutput), win::ToUtf8(folder.wstring()) + "\\");
    EXPECT_EQ(window.Text(MainControl::txtTitle1), "Jeu été");
    EXPECT_TRUE(::IsWindowEnabled(Ctl(MainControl::cmdGo)));
    EXPECT_TRUE(::GetWindowLongPtrW(window.hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace pellix::win32
