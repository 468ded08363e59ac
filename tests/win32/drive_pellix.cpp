// Drives the real pellix.exe from outside, as a user with an accessibility tool would: it
// finds the windows and controls by class and id, chooses a ROM through the real open-file
// dialog, presses "Go...", dismisses "Complete!" and checks the package with the project's
// own reader. Usage: drive_pellix INSTALLED-FOLDER SCRATCH-FOLDER [gtest options]; the
// installed folder is copied to a folder whose name holds a space and non-ASCII letters.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "win32/design_window.h"
#include "display.h"
#include "formats/nds_reader.h"
#include "formats/picture.h"
#include "app/preview_logic.h"
#include "system/text.h"
#include "window_driver.h"
#include "app/window_layout.h"

namespace pellix::testing {
namespace {

namespace fs = std::filesystem;
using app::MainControl;
using app::PreviewControl;

fs::path g_stage;    // the installation as cmake --install left it
fs::path g_scratch;  // this run's own folder

std::string Utf8(const std::wstring& text) {
    return pellix::win::ToUtf8(text);
}

// Saves what the screen shows of `window`, frame included, as a 24-bit bitmap.
void SaveScreenshot(HWND window, const fs::path& file) {
    RECT r{};
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    HDC copy = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(copy, bitmap);
    ::BitBlt(copy, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    const DWORD pixelBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + pixelBytes;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), pixelBytes);
    ::SelectObject(copy, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(copy);
    ::ReleaseDC(nullptr, screen);
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sets the DPI wine gives new programs (the value Windows keeps for the primary display);
// 0 restores the default.
void SetLogPixels(DWORD dpi) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (dpi == 0)
        ::RegDeleteValueW(key, L"LogPixels");
    else
        ::RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                         sizeof dpi);
    ::RegCloseKey(key);
}

class PellixWindow : public ::testing::Test {
  protected:
    static fs::path Install() { return g_scratch / L"Pellix Tëst ñ"; }
    static fs::path Roms() { return g_scratch / L"Röms ü"; }
    static fs::path Rom() { return Roms() / L"Mÿ Gäme.gba"; }
    static fs::path Package() { return Roms() / L"Mÿ Gäme.nds"; }

    static void SetUpTestSuite() {
        fs::remove_all(Install());
        fs::remove_all(Roms());
        fs::copy(g_stage, Install(), fs::copy_options::recursive);
        fs::create_directories(Roms());
        std::vector<char> rom(200000);
        for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<char>((i * 7) ^ (i >> 9));
        std::ofstream(Rom(), std::ios::binary)
            .write(rom.data(), static_cast<std::streamsize>(rom.size()));
        SetLogPixels(0);
    }

    void TearDown() override {
        if (process_.hProcess == nullptr) return;
        for (HWND window : TopLevelWindows(process_.dwProcessId))
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "pellix.exe did not end when its windows were closed";
            ::TerminateProcess(process_.hProcess, 1);
        }
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
        process_ = {};
        SetLogPixels(0);
    }

    // Starts the installed pellix.exe and waits for its main window.
    void Start() {
        ASSERT_TRUE(HasDisplay()) << "checked in main";
        const fs::path program = Install() / L"pellix.exe";
        std::wstring line = L"\"" + program.wstring() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, g_scratch.c_str(), &startup, &process_))
            << "cannot start " << program.string();
        ASSERT_TRUE(WaitUntil([&] {
            for (HWND window : TopLevelWindows(process_.dwProcessId))
                if (ClassOf(window) == win32::kMainWindowClass) main_ = window;
            return main_ != nullptr;
        })) << "no main window appeared";
        // The window is shown and its first messages handled once it answers.
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMillis, &ignored);
    }

    DWORD pid() const { return process_.dwProcessId; }

    // The control with id `id` anywhere in `top`.
    static HWND Find(HWND top, int id) {
        for (HWND child : Descendants(top))
            if (::GetDlgCtrlID(child) == id) return child;
        return nullptr;
    }
    HWND Ctl(MainControl control) const {
        return Find(main_, win32::kMainIdBase + static_cast<int>(control));
    }

    HWND Preview() const {
        for (HWND window : TopLevelWindows(pid()))
            if (ClassOf(window) == win32::kPreviewWindowClass) return window;
        return nullptr;
    }

    // A message box of pellix ("Quillmere", one OK button) whose text holds `part`.
    HWND WaitForMessage(const std::wstring& part = L"") const {
        return WaitForDialog(pid(), [&](HWND dialog) {
            return FileNameBox(dialog) == nullptr && TextOf(dialog) == L"Quillmere" &&
                   StaticTexts(dialog).find(part) != std::wstring::npos;
        });
    }

    // "Browse..." of the ROM row, then the path typed into the dialog's file-name box.
    void ChooseRomThroughDialog(const fs::path& rom) {
        Click(Ctl(MainControl::cmdBrowseROM));
        HWND dialog = WaitForDialog(pid(), [](HWND d) { return FileNameBox(d) != nullptr; });
        ASSERT_NE(dialog, nullptr) << "the open-file dialog did not appear";
        SetTextOf(FileNameBox(dialog), rom.wstring());
        PressDialogButton(dialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return TextOf(Ctl(MainControl::txtROM)) == rom.wstring(); }))
            << "txtROM holds " << Utf8(TextOf(Ctl(MainControl::txtROM)));
    }

    // "Go...", then the message that ends the build; returns its text and dismisses it.
    // The installation holds the stand-in DS images: the run's first build is preceded by a
    // message saying so, which is dismissed and counted.
    std::wstring BuildAndDismiss() {
        Click(Ctl(MainControl::cmdGo));
        for (;;) {
            HWND box = WaitForMessage();
            if (box == nullptr) return L"(no message appeared)";
            const std::wstring text = StaticTexts(box);
            PressDialogButton(box, IDOK);
            WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
            if (text.find(L"are stand-ins") == std::wstring::npos) return text;
            ++standInWarnings_;
        }
    }

    // The working folders below the temporary folder pellix.exe inherits from this driver.
    static std::vector<std::wstring> WorkingFolders() {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        std::vector<std::wstring> folders;
        for (const std::wstring& name : FilesIn(temp))
            if (name.rfind(L"pellix-build-", 0) == 0) folders.push_back(name);
        return folders;
    }

    // Starts a build that takes a while (a ROM of the largest size a GBA ROM can have, packed
    // by gzip --best) and returns once its working folder is there.
    void StartLongBuild() {
        const fs::path rom = Roms() / L"Lärge.gba";
        std::vector<char> bytes(32 << 20);
        std::uint32_t state = 24;
        for (char& byte : bytes) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<char>((state >> 24) & 0x3F);
        }
        std::ofstream(rom, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        const std::vector<std::wstring> before = WorkingFolders();
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_NO_FATAL_FAILURE(ChooseRomThroughDialog(rom));
        Click(Ctl(MainControl::cmdGo));
        if (HWND box = WaitForMessage(L"are stand-ins")) PressDialogButton(box, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return WorkingFolders().size() > before.size(); }))
            << "no build started";
        staleFolders_ = before;
    }

    std::vector<std::wstring> staleFolders_;

    static std::vector<std::wstring> FilesIn(const fs::path& folder) {
        std::vector<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().wstring());
        std::sort(names.begin(), names.end());
        return names;
    }

    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
    int standInWarnings_ = 0;
};

TEST_F(PellixWindow, StartsAsDesignedWithTheFocusOnTheRomBox) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const SIZE client = ClientSize(main_);
    EXPECT_EQ(client.cx, 569);
    EXPECT_EQ(client.cy, 401);
    const LONG_PTR style = ::GetWindowLongPtrW(main_, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME) << "sizing border";
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_EQ(TextOf(main_), L"Quillmere v1.2.1 GUI (by Fennbrook)");

    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(main_, nullptr), &info));
    EXPECT_EQ(info.hwndFocus, Ctl(MainControl::txtROM)) << "focus follows the tab order";

    EXPECT_FALSE(::IsWindowEnabled(Ctl(MainControl::cmdGo)));
    EXPECT_EQ(CheckState(Ctl(MainControl::chkPSRAM)), BST_CHECKED);
    EXPECT_EQ(CheckState(Ctl(MainControl::chkCompression)), BST_CHECKED);
    EXPECT_FALSE(::IsWindowVisible(Ctl(MainControl::customHint)));
    EXPECT_EQ(TextOf(Ctl(MainControl::cmdCustomize)), L"Customize the NDS (+)");
}

TEST_F(PellixWindow, FoldsAndUnfoldsTheCustomisationPanel) {
    ASSERT_NO_FATAL_FAILURE(Start());
    HWND customize = Ctl(MainControl::cmdCustomize);
    // Each row: the caption after the click, client height, tops of Go and the bottom
    // banner, height of the panel, whether the note shows (pixels at 96 DPI).
    struct State {
        const wchar_t* caption;
        int clientHeight, goTop, bannerTop, panelHeight;
        bool note;
    };
    const State states[] = {{L"Customize the NDS (-)", 491, 448, 434, 113, true},
                            {L"Customize the NDS (+)", 401, 360, 344, 33, false},
                            {L"Customize the NDS (-)", 491, 448, 434, 113, true}};
    SetTextOf(Ctl(MainControl::txtIcon), L"C:\\pictures\\icön.bmp");
    for (const State& state : states) {
        Click(customize);
        ASSERT_TRUE(WaitUntil([&] { return TextOf(customize) == state.caption; }));
        EXPECT_EQ(ClientSize(main_).cx, 569);
        EXPECT_EQ(ClientSize(main_).cy, state.clientHeight) << Utf8(state.caption);
        EXPECT_EQ(RectIn(Ctl(MainControl::cmdGo), main_).top, state.goTop);
        EXPECT_EQ(RectIn(Ctl(MainControl::bottomBanner), main_).top, state.bannerTop);
        const RECT panel = RectIn(Ctl(MainControl::fraCustom), main_);
        EXPECT_EQ(panel.bottom - panel.top, state.panelHeight);
        EXPECT_EQ(::IsWindowVisible(Ctl(MainControl::customHint)) != FALSE, state.note);
        EXPECT_EQ(TextOf(Ctl(MainControl::txtIcon)), L"C:\\pictures\\icön.bmp");
    }
}

TEST_F(PellixWindow, PreviewShowsTheTitleLinesReadWhenItOpened) {
    ASSERT_NO_FATAL_FAILURE(Start());
    SetTextOf(Ctl(MainControl::txtTitle1), L"Première ligne");
    SetTextOf(Ctl(MainControl::txtTitle2), L"Zweite Zeile");
    SetTextOf(Ctl(MainControl::txtTitle3), L"");
    Click(Ctl(MainControl::cmdPreview));
    HWND preview = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (preview = Preview()) != nullptr; }));
    const auto title = [&](PreviewControl line) {
        return TextOf(Find(preview, win32::kPreviewIdBase + static_cast<int>(line)));
    };
    EXPECT_EQ(title(PreviewControl::lblTitle1), L"Première ligne");
    EXPECT_EQ(title(PreviewControl::lblTitle2), L"Zweite Zeile");
    EXPECT_EQ(title(PreviewControl::lblTitle3), L"");
    EXPECT_EQ(TextOf(preview), L"Preview Customisations");
    EXPECT_EQ(ClientSize(preview).cx, 209);
    EXPECT_EQ(ClientSize(preview).cy, 113);
    // A fixed dialog, not a tool window; owned by no window that shows (no taskbar button).
    EXPECT_FALSE(::GetWindowLongPtrW(preview, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    HWND owner = ::GetWindow(preview, GW_OWNER);
    EXPECT_NE(owner, main_);
    EXPECT_FALSE(owner != nullptr && ::IsWindowVisible(owner));
    RECT mainRect{}, previewRect{};
    ::GetWindowRect(main_, &mainRect);
    ::GetWindowRect(preview, &previewRect);
    EXPECT_NEAR((previewRect.left + previewRect.right) / 2.0,
                (mainRect.left + mainRect.right) / 2.0, 1.0);
    EXPECT_NEAR((previewRect.top + previewRect.bottom) / 2.0,
                (mainRect.top + mainRect.bottom) / 2.0, 1.0);

    // A loaded preview does not follow the window; a new one reads it afresh.
    SetTextOf(Ctl(MainControl::txtTitle1), L"Changed");
    Click(Ctl(MainControl::cmdPreview));
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMillis, &ignored);
    EXPECT_EQ(Preview(), preview);
    EXPECT_EQ(title(PreviewControl::lblTitle1), L"Première ligne");
    Click(Find(preview, win32::kPreviewIdBase + static_cast<int>(PreviewControl::cmdClose)));
    ASSERT_TRUE(WaitUntil([&] { return Preview() == nullptr; }));
    Click(Ctl(MainControl::cmdPreview));
    ASSERT_TRUE(WaitUntil([&] { return (preview = Preview()) != nullptr; }));
    EXPECT_EQ(title(PreviewControl::lblTitle1), L"Changed");
}

// A damaged custom border: no preview, and the main window says what the Qt window says,
// in a box owned by it and centred on it.
TEST_F(PellixWindow, ADamagedBorderIsToldByTheMainWindow) {
    const fs::path damaged = Roms() / L"bördér.bmp";
    std::ofstream(damaged) << "this is not a picture\n";
    ASSERT_NO_FATAL_FAILURE(Start());
    Click(Ctl(MainControl::cmdCustomize));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(Ctl(MainControl::txtBorder)) != FALSE; }));
    SetTextOf(Ctl(MainControl::txtBorder), damaged.wstring());
    Click(Ctl(MainControl::cmdPreview));
    HWND box = WaitForMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(
        Utf8(StaticTexts(box)),
        app::PictureLoadMessage(Utf8(damaged.wstring()), "not a bitmap, PNG, JPEG or GIF picture"));
    EXPECT_EQ(::GetWindow(box, GW_OWNER), main_);
    RECT mainRect{}, boxRect{};
    ::GetWindowRect(main_, &mainRect);
    ::GetWindowRect(box, &boxRect);
    EXPECT_NEAR((boxRect.left + boxRect.right) / 2.0, (mainRect.left + mainRect.right) / 2.0, 1.0);
    EXPECT_NEAR((boxRect.top + boxRect.bottom) / 2.0, (mainRect.top + mainRect.bottom) / 2.0, 1.0);
    PressDialogButton(box, IDOK);
    EXPECT_EQ(Preview(), nullptr);
}

// The preview at the DPIs users run: the note wraps inside its label (its font fitted), and
// the window is drawn whole. With PELLIX_SCREENSHOTS set, a picture of each is left there.
TEST_F(PellixWindow, PreviewAtEachDpi) {
    for (DWORD dpi : {96, 120, 144, 192}) {
        SCOPED_TRACE(dpi);
        SetLogPixels(dpi);
        ASSERT_NO_FATAL_FAILURE(Start());
        SetTextOf(Ctl(MainControl::txtTitle1), L"Mÿ Gäme");
        SetTextOf(Ctl(MainControl::txtTitle2), L"Second line");
        wchar_t folder[MAX_PATH] = {};
        const bool screenshots =
            ::GetEnvironmentVariableW(L"PELLIX_SCREENSHOTS", folder, MAX_PATH) > 0;
        if (screenshots) {
            ::Sleep(300);
            SaveScreenshot(main_, fs::path(folder) / (L"main-" + std::to_wstring(dpi) + L".bmp"));
        }
        Click(Ctl(MainControl::cmdPreview));
        HWND preview = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (preview = Preview()) != nullptr; }));
        EXPECT_EQ(ClientSize(preview).cx, app::TwipsToPixels(3135, static_cast<int>(dpi)));
        HWND note = Find(preview, win32::kPreviewIdBase + static_cast<int>(PreviewControl::note));
        EXPECT_EQ(TextOf(note), L"NOTE: Border customisations aren't shown.");
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(preview, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMillis, &ignored);
        ::Sleep(300);
        if (screenshots)
            SaveScreenshot(preview,
                           fs::path(folder) / (L"preview-" + std::to_wstring(dpi) + L".bmp"));
        TearDown();
        main_ = nullptr;
    }
}

class PellixBuild : public PellixWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(PellixBuild, BuildsThePackageOfARomChosenInTheOpenDialog) {
    const bool compression = GetParam();
    if (compression && !fs::exists(Install() / L"bin" / L"gzip.exe"))
        GTEST_SKIP() << "this installation has no bin\\gzip.exe";
    fs::remove(Package());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ChooseRomThroughDialog(Rom()));
    EXPECT_EQ(TextOf(Ctl(MainControl::txtOutput)), Roms().wstring() + L"\\");
    EXPECT_EQ(TextOf(Ctl(MainControl::txtTitle1)), L"Mÿ Gäme");
    EXPECT_TRUE(::IsWindowEnabled(Ctl(MainControl::cmdGo)));
    SetTextOf(Ctl(MainControl::txtTitle2), L"Ünïcode line");
    if (!compression) {
        Click(Ctl(MainControl::chkCompression));
        ASSERT_TRUE(WaitUntil(
            [&] { return CheckState(Ctl(MainControl::chkCompression)) == BST_UNCHECKED; }));
    }
    EXPECT_EQ(BuildAndDismiss(), L"Complete!");
    EXPECT_EQ(standInWarnings_, 1) << "the stand-ins are told of before the first build";

    const formats::NdsPackage package = formats::ReadNdsFile(Utf8(Package().wstring()));
    ASSERT_TRUE(package.hasBanner);
    for (const std::u16string& line : package.banner.titles)
        EXPECT_EQ(line, u"Mÿ Gäme\nÜnïcode line");
    const formats::Picture icon =
        formats::ReadPictureFile(Utf8((Install() / L"gfx" / L"icon.bmp").wstring()));
    EXPECT_EQ(package.banner.iconIndices, icon.indices) << "the default icon";
    std::vector<std::string> files;
    for (const auto& file : package.files) files.push_back(file.path);
    const std::string game = compression ? "game.gz" : "game.gba";
    EXPECT_EQ(files, (std::vector<std::string>{"border.lz7", game, "mode.txt"}));
    for (const auto& file : package.files) {
        const std::vector<std::uint8_t> bytes = package.Contents(file);
        if (file.path == "mode.txt") {
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), compression ? "PC" : "PU");
        } else if (file.path == "game.gba") {
            EXPECT_EQ(bytes, ReadBytes(Rom()));
        } else if (file.path == "game.gz") {
            ASSERT_GE(bytes.size(), 2u);
            EXPECT_EQ(bytes[0], 0x1F);
            EXPECT_EQ(bytes[1], 0x8B);
        }
    }
    EXPECT_TRUE(FilesIn(Install() / L"bin" / L"data").empty());
}

INSTANTIATE_TEST_SUITE_P(Compression, PellixBuild, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "On" : "Off"; });

TEST_F(PellixWindow, AMissingCompanionProgramIsNamedAndNothingIsLeftBehind) {
    const fs::path grit = Install() / L"bin" / L"grit.exe";
    const fs::path away = Install() / L"bin" / L"grit.away";
    fs::rename(grit, away);
    fs::remove(Package());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ChooseRomThroughDialog(Rom()));
    Click(Ctl(MainControl::chkCompression));  // the failure must not depend on gzip
    const std::wstring message = BuildAndDismiss();
    fs::rename(away, grit);
    EXPECT_NE(message.find(L"grit"), std::wstring::npos) << Utf8(message);
    EXPECT_EQ(message.find(L"Complete!"), std::wstring::npos);
    EXPECT_TRUE(FilesIn(Install() / L"bin" / L"data").empty());
    EXPECT_FALSE(fs::exists(Package()));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(Ctl(MainControl::cmdGo)) != FALSE; }))
        << "Go is back on after a failure";
}

TEST_F(PellixWindow, ClosingTheWindowWhileTheOpenDialogIsUpEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(Start());
    Click(Ctl(MainControl::cmdBrowseROM));
    ASSERT_NE(WaitForDialog(pid(), [](HWND d) { return FileNameBox(d) != nullptr; }), nullptr);
    // The dialog has no owner, so the window can still be closed: the dialog goes with it.
    ::PostMessageW(main_, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(process_.hProcess, kWaitMillis), WAIT_OBJECT_0);
}

// Closing the window during a build stops the build: its programs end, its working folder
// goes, nothing is delivered, and the program ends.
TEST_F(PellixWindow, ClosingDuringABuildStopsItAndLeavesNothing) {
    fs::remove(Roms() / L"Lärge.nds");
    ASSERT_NO_FATAL_FAILURE(StartLongBuild());
    ::PostMessageW(main_, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(process_.hProcess, kWaitMillis), WAIT_OBJECT_0);
    EXPECT_EQ(WorkingFolders(), staleFolders_);
    EXPECT_FALSE(fs::exists(Roms() / L"Lärge.nds"));
}

// At the end of the session the build below the window's message handling is stopped and
// its working folder removed before the handler returns, since the program may be ended
// at any moment after (here it is, at once).
TEST_F(PellixWindow, TheEndOfTheSessionStopsTheBuildAtOnce) {
    fs::remove(Roms() / L"Lärge.nds");
    ASSERT_NO_FATAL_FAILURE(StartLongBuild());
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(
        ::SendMessageTimeoutW(main_, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kWaitMillis, &ignored));
    // The session ends: the program is ended outright. (A lock file removed by the handler
    // is listed until the program lets go of it.)
    ::TerminateProcess(process_.hProcess, 1);
    ::WaitForSingleObject(process_.hProcess, kWaitMillis);
    EXPECT_EQ(WorkingFolders(), staleFolders_);
    EXPECT_FALSE(fs::exists(Roms() / L"Lärge.nds"));
}

TEST_F(PellixWindow, SizesFollowTheDisplayDpi) {
    SetLogPixels(144);
    ASSERT_NO_FATAL_FAILURE(Start());
    // 8535 x 6015 twips at 144 DPI, each rounded to the nearest pixel.
    EXPECT_EQ(ClientSize(main_).cx, 854);
    EXPECT_EQ(ClientSize(main_).cy, 602);
    const RECT go = RectIn(Ctl(MainControl::cmdGo), main_);
    EXPECT_EQ(go.top, 540);
    EXPECT_EQ(go.right - go.left, 242);  // 3000..5415 twips: 300..541.5, rounded to 542
    Click(Ctl(MainControl::cmdCustomize));
    ASSERT_TRUE(WaitUntil([&] { return ClientSize(main_).cy == 737; }))
        << "unfolded client height " << ClientSize(main_).cy;
}

}  // namespace
}  // namespace pellix::testing

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: drive_pellix INSTALLED-FOLDER SCRATCH-FOLDER\n");
        return 2;
    }
    if (!pellix::testing::HasDisplay()) {
        std::printf(
            "drive_pellix: needs a display: under wine, run with PELLIX_WINE_DISPLAY set\n");
        return 0;
    }
    pellix::testing::g_stage = argv[1];
    pellix::testing::g_scratch = argv[2];
    std::filesystem::create_directories(pellix::testing::g_scratch);
    return RUN_ALL_TESTS();
}
