// Twips and points at a DPI: the design's boxes keep touching and the banner ends at the
// client area's bottom edge at every DPI, fonts keep their point size.
#include <gtest/gtest.h>

#include "win32/design_window.h"
#include "win32/dpi.h"
#include "app/window_layout.h"

namespace pellix::win32 {
namespace {

using app::MainControl;

TEST(Dpi, RectanglesRoundEachEdgeSoTouchingBoxesStillTouch) {
    struct Case {
        app::TwipsRect twips;
        unsigned dpi;
        RECT pixels;
    };
    const Case cases[] = {
        {{2040, 1200, 4215, 285}, 96, {136, 80, 417, 99}},
        {{2040, 1200, 4215, 285}, 144, {204, 120, 626, 149}},  // 625.5 and 148.5 round up
        {{3000, 5400, 2415, 495}, 120, {250, 450, 451, 491}},  // 451.25 and 491.25 round down
        {{0, 0, 8535, 6015}, 144, {0, 0, 854, 602}},
        {{15, 15, 15, 15}, 96, {1, 1, 2, 2}},
    };
    for (const Case& c : cases) {
        const RECT r = PixelRect(c.twips, c.dpi);
        EXPECT_EQ(r.left, c.pixels.left) << c.dpi;
        EXPECT_EQ(r.top, c.pixels.top) << c.dpi;
        EXPECT_EQ(r.right, c.pixels.right) << c.dpi;
        EXPECT_EQ(r.bottom, c.pixels.bottom) << c.dpi;
    }
}

TEST(Dpi, BottomBannerEndsAtTheClientEdgeInBothPanelStatesAtEveryDpi) {
    for (unsigned dpi : {96u, 120u, 144u, 168u, 192u, 240u}) {
        for (const app::PanelLayout* layout : {&app::kPanelFolded, &app::kPanelUnfolded}) {
            app::TwipsRect banner = app::Design(MainControl::bottomBanner).rect;
            banner.top = layout->bottomBannerTop;
            EXPECT_EQ(PixelRect(banner, dpi).bottom,
                      app::TwipsToPixels(layout->clientHeight, static_cast<int>(dpi)))
                << dpi << " dpi, " << layout->caption;
            // Go lies wholly on the banner.
            app::TwipsRect go = app::Design(MainControl::cmdGo).rect;
            go.top = layout->goTop;
            EXPECT_LE(PixelRect(go, dpi).bottom, PixelRect(banner, dpi).bottom) << dpi;
        }
    }
}

// Above 96 DPI the windows take the artwork drawn at twice the size, and shrink it.
TEST(Dpi, ArtworkAtTwiceTheSizeAbove96Dpi) {
    for (unsigned dpi : {96u, 120u, 144u, 192u}) {
        int density = 0;
        HBITMAP art = LoadArtwork("top_banner.bmp", dpi, density);
        ASSERT_NE(art, nullptr) << dpi;
        BITMAP info{};
        ::GetObjectW(art, sizeof info, &info);
        EXPECT_EQ(density, dpi > 96 ? 2 : 1) << dpi;
        EXPECT_EQ(info.bmWidth, 569 * density) << dpi;
        EXPECT_EQ(info.bmHeight, 57 * density) << dpi;
        ::DeleteObject(art);
    }
}

TEST(Dpi, FontHeightsKeepThePointSize) {
    struct Case {
        double points;
        unsigned dpi;
        LONG height;
    };
    const Case cases[] = {{8.25, 96, -11}, {8.25, 120, -14}, {8.25, 144, -17},
                          {6.75, 96, -9},  {9.75, 96, -13},  {9.75, 192, -26}};
    for (const Case& c : cases)
        EXPECT_EQ(FontHeight(c.points, c.dpi), c.height) << c.points << "pt at " << c.dpi;
}

TEST(Dpi, PicturesScaleFromTheBaseDpi) {
    EXPECT_EQ(ScaleFromBase(569, 96), 569);
    EXPECT_EQ(ScaleFromBase(569, 144), 854);
    EXPECT_EQ(ScaleFromBase(32, 120), 40);
}

}  // namespace
}  // namespace pellix::win32
