// The artwork generator's canvas, shapes, lettering and palette reduction.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>
#include <tuple>

#include "formats/bitmap_writer.h"
#include "canvas.h"
#include "icon_file.h"
#include "lettering.h"
#include "palette.h"
#include "formats/picture.h"

namespace {

using namespace artwork;
using pellix::formats::Rgb8;

constexpr Colour kBlack{0, 0, 0};
constexpr Colour kWhite{255, 255, 255};

// Edges on pixel boundaries fill whole pixels and nothing beside them; an edge through
// the middle of a pixel covers half of it.
TEST(ArtworkCanvas, EdgesCoverWhatTheyCross) {
    Canvas c(8, 8, kBlack);
    c.Fill(RoundedBox(2, 2, 6, 6, 0), Solid(kWhite));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
            EXPECT_DOUBLE_EQ(c.at(x, y).g, inside ? 255.0 : 0.0) << x << "," << y;
        }
    }
    Canvas half(4, 1, kBlack);
    half.Fill(RoundedBox(0, -1, 1.5, 2, 0), Solid(kWhite));
    EXPECT_DOUBLE_EQ(half.at(0, 0).r, 255.0);
    EXPECT_NEAR(half.at(1, 0).r, 127.5, 0.5);
    EXPECT_DOUBLE_EQ(half.at(2, 0).r, 0.0);
}

TEST(ArtworkCanvas, CoverageAddsUpOverATransparentBackground) {
    Canvas c(2, 2, kWhite, 0.0);
    EXPECT_DOUBLE_EQ(c.coverage(0, 0), 0.0);
    c.Fill(Solid(kBlack), 0.5);
    c.Fill(Solid(kBlack), 0.5);
    EXPECT_DOUBLE_EQ(c.coverage(1, 1), 0.75);
    EXPECT_DOUBLE_EQ(c.at(1, 1).r, 255 * 0.25);
}

// A polygon means the same area whichever way round its corners are listed.
TEST(ArtworkShapes, ConvexIgnoresWinding) {
    const Shape a = Convex({{0, 0}, {10, 0}, {0, 10}});
    const Shape b = Convex({{0, 10}, {10, 0}, {0, 0}});
    for (auto [x, y] : {std::pair{2.0, 2.0}, {6.0, 6.0}, {-3.0, 4.0}, {4.0, -1.0}, {0.5, 9.0}}) {
        EXPECT_DOUBLE_EQ(a(x, y), b(x, y)) << x << "," << y;
    }
    EXPECT_LT(a(2, 2), 0);
    EXPECT_NEAR(a(-3, 4), 3.0, 1e-9);
    EXPECT_GT(a(6, 6), 0);
}

// The border centres its lettering by the reported width, so the width must match what
// is drawn.
TEST(ArtworkLettering, WidthMatchesTheDrawnLetters) {
    for (double size : {11.0, 29.0}) {
        TextPlacement where;
        where.size = size;
        where.left = 10;
        where.baseline = size + 4;
        const double width = LetteringWidth("Quillmere", where);
        Canvas c(int(width) + 40, int(size) + 12, kBlack);
        c.Fill(Lettering("Quillmere", where), Solid(kWhite));
        int first = c.width(), last = -1;
        for (int y = 0; y < c.height(); ++y) {
            for (int x = 0; x < c.width(); ++x) {
                if (c.at(x, y).r > 64) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        }
        SCOPED_TRACE(size);
        EXPECT_NEAR(first, where.left, 2.0);
        EXPECT_NEAR(last + 1, where.left + width, size * 0.15);
    }
}

// Many colours reduce to the palette size with index 0 reserved for the background, and
// the result is a bitmap the writer takes.
TEST(ArtworkPalette, QuantiseKeepsTheKeyAndTheLimit) {
    const Rgb8 key{255, 0, 255};
    Canvas c(40, 10, Colour{255, 0, 255}, 0.0);
    for (int x = 0; x < 36; ++x) {
        c.Fill(RoundedBox(x, 0, x + 1, 10, 0), Solid(Colour{x * 7.0, 255 - x * 5.0, x * 3.0}));
    }
    // A drawn pixel in exactly the key colour must not turn transparent.
    c.Fill(RoundedBox(36, 0, 37, 10, 0), Solid(Colour{255, 0, 255}));
    const pellix::formats::Picture p = Quantise(c, 4, 16, key);
    ASSERT_LE(p.palette.size(), 16u);
    EXPECT_EQ(std::tie(p.palette[0].r, p.palette[0].g, p.palette[0].b),
              std::tie(key.r, key.g, key.b));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 40; ++x) {
            const uint8_t index = p.indices[size_t(y) * 40 + size_t(x)];
            EXPECT_EQ(index == 0, x >= 37) << x << "," << y;
        }
    }
    for (size_t i = 1; i < p.palette.size(); ++i) {
        EXPECT_FALSE(p.palette[i].r == key.r && p.palette[i].g == key.g && p.palette[i].b == key.b)
            << "entry " << i << " reads as the key";
    }
    std::set<int> used(p.indices.begin(), p.indices.end());
    EXPECT_GE(used.size(), 12u) << "the palette is not spread over the colours";

    const auto bytes = pellix::formats::EncodeBitmap(p);
    const pellix::formats::Picture back = pellix::formats::ReadBitmap(bytes.data(), bytes.size());
    EXPECT_EQ(back.indices, p.indices);
}

}  // namespace

// The icon file: a directory whose offsets and sizes lead to each entry, each a 32-bit DIB
// of doubled height whose AND mask is set exactly where the image is less than half opaque;
// a partly covered pixel keeps its painted colour with the coverage as alpha.
TEST(ArtworkIconFile, EntriesMasksAndAlphaAgree) {
    Canvas c(16, 16, Colour{195, 246, 246}, 0.0);
    c.Fill(RoundedBox(0, 0, 8.5, 16, 0), Solid(Colour{200, 0, 0}));
    const IconImage image = ToIconImage(c, Colour{195, 246, 246});
    EXPECT_EQ(image.bgra[(0 * 16 + 8) * 4 + 3], 128);       // half covered
    EXPECT_NEAR(image.bgra[(0 * 16 + 8) * 4 + 2], 200, 1);  // red kept, not mixed
    EXPECT_EQ(image.bgra[(0 * 16 + 12) * 4 + 3], 0);        // uncovered
    const IconImage big = ToIconImage(Canvas(32, 32, kWhite), kWhite);

    const std::vector<uint8_t> file = IconFileBytes({image, big});
    const auto u16 = [&](size_t at) { return file[at] | file[at + 1] << 8; };
    const auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(u16(at)) | static_cast<uint32_t>(u16(at + 2)) << 16;
    };
    ASSERT_EQ(u16(2), 1);  // an icon
    ASSERT_EQ(u16(4), 2);
    size_t expectedOffset = 6 + 2 * 16;
    for (size_t i = 0; i < 2; ++i) {
        const size_t entry = 6 + 16 * i;
        const int n = i == 0 ? 16 : 32;
        EXPECT_EQ(file[entry], n);
        EXPECT_EQ(u16(entry + 6), 32);  // bits per pixel
        const uint32_t size = u32(entry + 8);
        const uint32_t offset = u32(entry + 12);
        EXPECT_EQ(offset, expectedOffset);
        EXPECT_EQ(size, 40u + n * n * 4u + n * 4u);  // header, colours, mask of 4-byte rows
        EXPECT_EQ(u32(offset + 8), static_cast<uint32_t>(2 * n));  // colour and mask rows
        expectedOffset += size;
        if (i == 0) {
            // Top row of the picture is the last row of each bottom-up block.
            const size_t maskTopRow = offset + 40 + 16 * 16 * 4 + 15 * 4;
            EXPECT_EQ(file[maskTopRow], 0x00);      // x 0..7 covered, x 8 at half: opaque
            EXPECT_EQ(file[maskTopRow + 1], 0x7F);  // x 9..15 transparent
        }
    }
    EXPECT_EQ(file.size(), expectedOffset);
    EXPECT_THROW(ToIconImage(Canvas(4, 8, kWhite), kWhite), std::invalid_argument);
}
