// The shell dialogs in wide form: filter text, the real open-file dialog driven from a
// second thread (typed names, default extension, cancel, the current folder kept), and
// the folder browser's cancel and owner.
#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "win32/browse_folders.h"
#include "display.h"
#include "win32/open_file_dialog.h"
#include "system/text.h"
#include "window_driver.h"

namespace pellix {
namespace {

namespace fs = std::filesystem;
using namespace pellix::testing;

TEST(OpenFileDialog, FilterTextSeparatesEntriesWithNulsAndEndsInTwo) {
    struct Case {
        const char* filter;
        std::wstring text;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"GBA ROMs|*.gba|All files|*.*", L"GBA ROMs\0*.gba\0All files\0*.*\0\0"s},
        {"Bitmap images|*.bmp|PNG images|*.png|All files|*.*",
         L"Bitmap images\0*.bmp\0PNG images\0*.png\0All files\0*.*\0\0"s},
        {"Bïlder|*.bmp", L"Bïlder\0*.bmp\0\0"s},
        {"", L"\0\0"s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(modOpenFileDialog::FilterText(c.filter), c.text) << c.filter;
    EXPECT_THROW(modOpenFileDialog::FilterText("\xff|*.x"), std::range_error);
}

std::string Utf8(const std::wstring& text) {
    return pellix::win::ToUtf8(text);
}

// Works the first dialog box this process opens from another thread, with `act`.
std::thread Operate(std::function<void(HWND)> act) {
    return std::thread([act] {
        HWND dialog = WaitForDialog(::GetCurrentProcessId(), [](HWND) { return true; });
        if (dialog != nullptr) act(dialog);
    });
}

class OpenDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        PELLIX_REQUIRE_DISPLAY();
        folder = fs::temp_directory_path() / L"pellix dialog tëst";
        fs::create_directories(folder / L"sub ø");
        std::ofstream(folder / L"game.gba") << "rom";
        std::ofstream(folder / L"sub ø" / L"Jeu été.gba") << "rom";
        std::ofstream(folder / L"game") << "no extension";
    }
    void TearDown() override {
        if (!folder.empty()) fs::remove_all(folder);
    }
    fs::path folder;
};

TEST_F(OpenDialog, ReturnsTheChosenFileOrNothing) {
    struct Case {
        std::wstring typed;  // "" cancels
        std::wstring expected;
    };
    const Case cases[] = {
        {L"game", (folder / L"game.gba").wstring()},  // the default extension is added
        {(folder / L"sub ø" / L"Jeu été.gba").wstring(),
         (folder / L"sub ø" / L"Jeu été.gba").wstring()},
        {L"", L""},
    };
    const fs::path before = fs::current_path();
    for (const Case& c : cases) {
        std::thread user = Operate([&](HWND dialog) {
            if (c.typed.empty()) {
                PressDialogButton(dialog, IDCANCEL);
                return;
            }
            SetTextOf(FileNameBox(dialog), c.typed);
            PressDialogButton(dialog, IDOK);
        });
        const std::string got =
            modOpenFileDialog::ShowOpenDialog("GBA ROMs|*.gba|All files|*.*", "gba",
                                              Utf8(folder.wstring()), OFN_FILEMUSTEXIST, nullptr);
        user.join();
        EXPECT_EQ(got, Utf8(c.expected)) << Utf8(c.typed);
        EXPECT_EQ(fs::current_path(), before) << "the dialog leaves the current folder alone";
    }
}

TEST(FolderBrowser, CancelGivesNothingAndTheOwnerIsBlockedMeanwhile) {
    PELLIX_REQUIRE_DISPLAY();
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                   200, 100, nullptr, nullptr, nullptr, nullptr);
    bool ownerEnabled = true;
    std::wstring title;
    std::thread user = Operate([&](HWND dialog) {
        ownerEnabled = ::IsWindowEnabled(owner) != FALSE;
        title = StaticTexts(dialog);
        PressDialogButton(dialog, IDCANCEL);
    });
    const std::string got = modBrowseFolders::BrowseFolder(owner, "Sélect a Folder", 1, 0);
    user.join();
    EXPECT_EQ(got, "");
    EXPECT_FALSE(ownerEnabled);
    EXPECT_NE(title.find(L"Sélect a Folder"), std::wstring::npos);
    EXPECT_TRUE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}

}  // namespace
}  // namespace pellix
