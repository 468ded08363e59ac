// The Win32 preview in this process, opened by "Preview NDS..." of a real main window: a
// fixed dialog with the program's icon, drawing the preview logic's pixels as they are (the
// custom border as the DS's top screen too), and a note that fits its label at every DPI.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "builder/app_directory.h"
#include "win32/controls.h"
#include "display.h"
#include "win32/dpi.h"
#include "win32/main_window.h"
#include "win32/preview_window.h"

namespace pellix::win32 {
namespace {

namespace fs = std::filesystem;
using app::MainControl;
using app::PreviewControl;

// The colour (r, g, b) of a pixel of a 32-bit top-down DIB section.
COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    DIBSECTION dib{};
    if (::GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 32)
        return CLR_INVALID;
    const auto* p = static_cast<const std::uint8_t*>(dib.dsBm.bmBits) +
                    static_cast<std::size_t>(y) * dib.dsBm.bmWidthBytes +
                    static_cast<std::size_t>(x) * 4;
    return RGB(p[2], p[1], p[0]);
}

// Every pixel of a picture box holds the logic's image (clear pixels the dialog colour).
void ExpectShows(HWND box, const app::Image& image) {
    HBITMAP bitmap = GetPicture(box);
    ASSERT_NE(bitmap, nullptr);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.At(x, y);
            const COLORREF want = p[3] != 0 ? RGB(p[0], p[1], p[2]) : face;
            ASSERT_EQ(PixelOf(bitmap, x, y), want) << x << "," << y;
        }
    }
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PELLIX_REQUIRE_DISPLAY();
        MSG quit;
        while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        fs::create_directories(install_ / "gfx");
        for (const char* name : {"icon.bmp", "preview.bmp", "border.bmp"})
            fs::copy_file(fs::path(PELLIX_ASSETS_DIR) / "gfx" / name, install_ / "gfx" / name,
                          fs::copy_options::overwrite_existing);
        SetApplicationDirectory(install_.string());
        main_.Open(SW_SHOWNORMAL);
    }
    void TearDown() override {
        if (PreviewWindow* preview = Current()) ::DestroyWindow(preview->hwnd());
        SetApplicationDirectory("");
        std::error_code ignored;
        fs::remove_all(install_, ignored);
    }
    PreviewWindow* Current() {
        return dynamic_cast<PreviewWindow*>(main_.logic().Preview().Current());
    }
    HWND Box(PreviewControl control) { return Current()->Control(static_cast<int>(control)); }
    std::string Gfx(const char* name) const { return (install_ / "gfx" / name).string(); }

    const fs::path install_ = fs::temp_directory_path() / L"pellix preview tëst";
    MainWindow main_;
};

TEST_F(PreviewTest, AFixedDialogWithTheProgramsIconDrawingTheLogicsPixels) {
    main_.SetText(MainControl::txtTitle1, "Title");
    main_.logic().OnPreview();
    ASSERT_NE(Current(), nullptr);
    HWND preview = Current()->hwnd();
    EXPECT_TRUE(::IsWindowVisible(preview));
    const LONG_PTR style = ::GetWindowLongPtrW(preview, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(preview, GWL_EXSTYLE);
    EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW) << "a dialog, not a tool window";
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_NE(::SendMessageW(preview, WM_GETICON, ICON_SMALL, 0), 0);
    // No taskbar button: owned, but by no window that shows.
    HWND owner = ::GetWindow(preview, GW_OWNER);
    EXPECT_NE(owner, main_.hwnd());
    EXPECT_FALSE(owner != nullptr && ::IsWindowVisible(owner));

    const app::Image back = app::ReadPreviewPicture(Gfx("preview.bmp"));
    ExpectShows(Box(PreviewControl::picBG), back);
    ExpectShows(Box(PreviewControl::picIcon),
                app::IconOverBackground(app::PackageIcon(Gfx("icon.bmp")), back, 7, 6));
    EXPECT_FALSE(::IsWindowVisible(Box(PreviewControl::picBorder)));
}

// The custom border, which only the Qt preview used to show: the same top screen here.
TEST_F(PreviewTest, ACustomBorderIsShownAsTheTopScreen) {
    main_.logic().OnCustomize();
    main_.SetText(MainControl::txtBorder, Gfx("border.bmp"));
    main_.logic().OnPreview();
    ASSERT_NE(Current(), nullptr);
    EXPECT_TRUE(::IsWindowVisible(Box(PreviewControl::picBorder)));
    EXPECT_FALSE(::IsWindowVisible(Box(PreviewControl::note)));
    const unsigned dpi = WindowDpi(Current()->hwnd());
    RECT client{};
    ::GetClientRect(Current()->hwnd(), &client);
    EXPECT_EQ(client.right, app::TwipsToPixels(app::kPreviewBorderClientWidth, int(dpi)));
    EXPECT_EQ(client.bottom, app::TwipsToPixels(app::kPreviewBorderClientHeight, int(dpi)));
    ExpectShows(Box(PreviewControl::picBorder),
                app::TopScreenWithGameArea(app::PackageBorder(Gfx("border.bmp"))));
}

// At every DPI the note's font lets its words wrap inside its label.
TEST(PreviewNote, WrapsInsideItsLabelAtEveryDpi) {
    const app::ControlDesign& note = app::Design(PreviewControl::note);
    const std::wstring text = Wide(note.caption);
    HDC dc = ::CreateCompatibleDC(nullptr);
    FontCache fonts;
    for (unsigned dpi : {96u, 120u, 144u, 192u}) {
        const RECT box = PixelRect(note.rect, dpi);
        const SIZE size{box.right - box.left, box.bottom - box.top};
        HFONT font = FitWrappedText(fonts, note.font, text, size, dpi);
        HGDIOBJ old = ::SelectObject(dc, font);
        RECT needed{0, 0, size.cx, 0};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(dc, old);
        EXPECT_LE(needed.right, size.cx) << dpi;
        EXPECT_LE(needed.bottom, size.cy) << dpi;
        LOGFONTW made{};
        ::GetObjectW(font, sizeof made, &made);
        // Shrunk no more than needed: a readable size, never below 6 points.
        EXPECT_LE(made.lfHeight, FontHeight(6, dpi)) << dpi;
    }
    ::DeleteDC(dc);
}

}  // namespace
}  // namespace pellix::win32
