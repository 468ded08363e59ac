// The Win32 preview in this process: the icon the package will hold, drawn over the menu
// entry so that its clear pixels show the entry beneath.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "app_directory.h"
#include "controls.h"
#include "display.h"
#include "preview_window.h"

namespace pellix::win32 {
namespace {

namespace fs = std::filesystem;
using app::PreviewControl;

// The colour (r, g, b) of a pixel of a 32-bit top-down DIB section.
COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    DIBSECTION dib{};
    if (::GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 32)
        return CLR_INVALID;
    const int row = y;  // the preview's pictures are top-down DIB sections
    const auto* p = static_cast<const std::uint8_t*>(dib.dsBm.bmBits) +
                    static_cast<std::size_t>(row) * dib.dsBm.bmWidthBytes +
                    static_cast<std::size_t>(x) * 4;
    return RGB(p[2], p[1], p[0]);
}

TEST(Preview, IconIsThePackagesWithItsClearPixelsShowingTheEntry) {
    PELLIX_REQUIRE_DISPLAY();
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    const fs::path install = fs::temp_directory_path() / L"pellix preview tëst";
    fs::create_directories(install / "gfx");
    for (const char* name : {"icon.bmp", "preview.bmp"})
        fs::copy_file(fs::path(PELLIX_ASSETS_DIR) / "gfx" / name, install / "gfx" / name,
                      fs::copy_options::overwrite_existing);
    SetApplicationDirectory(install.string());

    app::PreviewFacts facts;
    facts.mainOuter = {1500, 1500, 8655, 6540};
    facts.customizeCaption = "Customize the NDS (+)";
    facts.titles[0] = "Title";
    PreviewWindow::ShowFor(facts);
    PreviewWindow* preview = PreviewWindow::Current();
    ASSERT_NE(preview, nullptr);
    HBITMAP icon = GetPicture(preview->Control(static_cast<int>(PreviewControl::picIcon)));
    HBITMAP back = GetPicture(preview->Control(static_cast<int>(PreviewControl::picBG)));
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(back, nullptr);

    const app::IconImage expected = app::PackageIcon((install / "gfx" / "icon.bmp").string());
    int clear = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const std::uint8_t* p = &expected.rgba[(static_cast<std::size_t>(y) * 32 + x) * 4];
            const COLORREF want = p[3] != 0 ? RGB(p[0], p[1], p[2]) : PixelOf(back, x + 7, y + 6);
            clear += p[3] == 0;
            ASSERT_EQ(PixelOf(icon, x, y), want) << x << "," << y;
        }
    }
    EXPECT_GT(clear, 0) << "the default icon has a clear background";
    ::DestroyWindow(preview->hwnd());
    EXPECT_EQ(PreviewWindow::Current(), nullptr);
    SetApplicationDirectory("");
    fs::remove_all(install);
}

}  // namespace
}  // namespace pellix::win32
