// The committed default pictures and window artwork: sizes, depths and the areas that
// other code draws over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "formats/picture.h"

namespace {

using pellix::formats::Picture;
using pellix::formats::ReadPictureFile;
using pellix::formats::Rgb8;

std::string Asset(const std::string& name) {
    return std::string(PELLIX_ASSETS_DIR) + "/" + name;
}

Rgb8 At(const Picture& p, int x, int y) {
    return p.pixels[size_t(y) * size_t(p.width) + size_t(x)];
}

uint8_t IndexAt(const Picture& p, int x, int y) {
    return p.indices[size_t(y) * size_t(p.width) + size_t(x)];
}

bool Same(Rgb8 a, Rgb8 b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The size field of the info header that follows the 14-byte file header.
uint32_t InfoHeaderSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char b[18] = {};
    in.read(reinterpret_cast<char*>(b), sizeof b);
    return uint32_t(b[14]) | uint32_t(b[15]) << 8 | uint32_t(b[16]) << 16 | uint32_t(b[17]) << 24;
}

struct Expected {
    const char* name;
    int width, height, bitsPerPixel;
    size_t maxPalette;  // 0: true colour
};

TEST(Artwork, EveryPictureHasItsSizeAndDepth) {
    const Expected table[] = {
        {"gfx/icon.bmp", 32, 32, 4, 16},
        {"gfx/border.bmp", 256, 192, 24, 0},
        {"gfx/preview.bmp", 191, 47, 24, 0},
        {"window/top_banner.bmp", 569, 57, 24, 0},
        {"window/bottom_banner.bmp", 569, 57, 24, 0},
        {"window/icon.bmp", 32, 32, 8, 256},
        {"window/preview_placeholder.bmp", 191, 47, 24, 0},
        // The same drawings at twice the size, for windows above 96 dpi.
        {"window/top_banner@2x.bmp", 1138, 114, 24, 0},
        {"window/bottom_banner@2x.bmp", 1138, 114, 24, 0},
        {"window/preview_placeholder@2x.bmp", 382, 94, 24, 0},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        const Picture p = ReadPictureFile(Asset(e.name));
        EXPECT_EQ(p.width, e.width);
        EXPECT_EQ(p.height, e.height);
        EXPECT_EQ(p.bitsPerPixel, e.bitsPerPixel);
        EXPECT_EQ(InfoHeaderSize(Asset(e.name)), 40u) << "not a BITMAPINFOHEADER bitmap";
        if (e.maxPalette == 0) {
            EXPECT_FALSE(p.paletted());
        } else {
            ASSERT_TRUE(p.paletted());
            EXPECT_LE(p.palette.size(), e.maxPalette);
        }
    }
}

// Index 0 is the background the DS menu leaves out; no drawn pixel may share its colour,
// or it would vanish too.
TEST(Artwork, KeyedIconsKeepTheirBackgroundInIndexZeroOnly) {
    for (const char* name : {"gfx/icon.bmp", "window/icon.bmp"}) {
        SCOPED_TRACE(name);
        const Picture p = ReadPictureFile(Asset(name));
        ASSERT_TRUE(p.paletted());
        for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}}) {
            EXPECT_EQ(IndexAt(p, x, y), 0) << "corner " << x << "," << y;
        }
        EXPECT_NE(IndexAt(p, 16, 16), 0) << "the middle is background";
        for (size_t i = 1; i < p.palette.size(); ++i) {
            EXPECT_FALSE(Same(p.palette[i], p.palette[0])) << "entry " << i << " equals the key";
        }
        const auto drawn =
            std::count_if(p.indices.begin(), p.indices.end(), [](uint8_t i) { return i != 0; });
        EXPECT_GT(drawn, 32 * 32 / 3) << "the icon is mostly background";
    }
}

// The preview lays the icon at (7, 6) and centred black title lines between x 56 and 185.
TEST(Artwork, MenuEntryLeavesTheIconSlotAndTitleAreaPlain) {
    const Picture entry = ReadPictureFile(Asset("gfx/preview.bmp"));
    const Picture icon = ReadPictureFile(Asset("gfx/icon.bmp"));
    ASSERT_TRUE(icon.paletted());

    // The slot is exactly the icon's background colour, so the icon shown without its
    // mask blends in; the frame just outside it is clearly darker.
    for (int y = 6; y < 38; ++y) {
        for (int x = 7; x < 39; ++x) {
            ASSERT_TRUE(Same(At(entry, x, y), icon.palette[0])) << "slot pixel " << x << "," << y;
        }
    }
    for (auto [x, y] : {std::pair{6, 5}, {39, 38}, {6, 38}, {39, 5}, {20, 5}, {20, 38}}) {
        const Rgb8 c = At(entry, x, y);
        EXPECT_LT(c.r + c.g + c.b, 3 * 160) << "frame pixel " << x << "," << y;
    }

    int lo = 255, hi = 0;
    for (int y = 4; y < 44; ++y) {
        for (int x = 56; x < 186; ++x) {
            const Rgb8 c = At(entry, x, y);
            lo = std::min({lo, int(c.r), int(c.g), int(c.b)});
            hi = std::max({hi, int(c.r), int(c.g), int(c.b)});
        }
    }
    EXPECT_GE(lo, 220) << "the title area has dark pixels";
    EXPECT_LE(hi - lo, 24) << "the title area is not plain";
}

// The GBA screen covers the middle 240 x 160 on the DS; the frame is drawn around it.
TEST(Artwork, BorderLeavesTheGbaScreenPlain) {
    const Picture border = ReadPictureFile(Asset("gfx/border.bmp"));
    const Rgb8 screen = At(border, 8, 16);
    for (int y = 16; y < 176; ++y) {
        for (int x = 8; x < 248; ++x) {
            ASSERT_TRUE(Same(At(border, x, y), screen)) << "screen pixel " << x << "," << y;
        }
    }
    for (auto [x, y] : {std::pair{7, 16}, {248, 100}, {128, 15}, {128, 176}}) {
        EXPECT_FALSE(Same(At(border, x, y), screen)) << "frame pixel " << x << "," << y;
    }
}

// The desktop's application icons are the window icon's drawing at each size, with real
// transparency around it; the 32 x 32 one matches the window icon where both are drawn.
TEST(Artwork, DesktopIconsAreTheWindowIconAtEachSize) {
    const Picture window = ReadPictureFile(Asset("window/icon.bmp"));
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        SCOPED_TRACE(folder);
        const Picture p =
            ReadPictureFile(Asset("desktop/icons/hicolor/" + folder + "/apps/pellix.png"));
        ASSERT_EQ(p.width, size);
        ASSERT_EQ(p.height, size);
        ASSERT_TRUE(p.hasAlpha());
        const auto alpha = [&](int x, int y) {
            return p.alpha[size_t(y) * size_t(size) + size_t(x)];
        };
        EXPECT_EQ(alpha(0, 0), 0);
        EXPECT_EQ(alpha(size - 1, 0), 0);
        EXPECT_GE(alpha(size / 2, size / 2), 200);
        if (size != 32) continue;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                if (alpha(x, y) != 255) continue;
                ASSERT_NE(IndexAt(window, x, y), 0) << x << "," << y;
                const Rgb8 a = At(p, x, y), b = At(window, x, y);
                EXPECT_LE(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b), 24)
                    << x << "," << y;
            }
        }
    }
}

}  // namespace
