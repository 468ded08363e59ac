// JPEG and GIF reading, alpha, the resampler, the palette choice, and the DS icon and
// border made from any picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <tuple>

#include "formats/banner.h"
#include "formats/bitmap_writer.h"
#include "formats/border_picture.h"
#include "formats/colour_quantiser.h"
#include "formats/format_error.h"
#include "formats/menu_icon.h"
#include "formats/picture.h"
#include "support/pictures.h"
#include "formats/picture_scale.h"

namespace pellix::formats {
namespace {

using testing::Bytes;

// A picture split into vertical bands of the given colours, `width` x `height`.
Picture Bands(int width, int height, const std::vector<Rgb8>& colours) {
    Picture p = MakeRgbPicture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.pixels[static_cast<size_t>(y) * width + x] =
                colours[static_cast<size_t>(x) * colours.size() / static_cast<size_t>(width)];
    return p;
}

// A paletted picture of `count` distinct colours, each pixel using index (x + y) % count.
Picture Paletted(int width, int height, int bits, size_t count) {
    std::vector<Rgb8> palette;
    for (size_t i = 0; i < count; ++i)
        palette.push_back({static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i * 8),
                           static_cast<uint8_t>((i * 77) % 256)});
    Picture p = MakePalettedPicture(width, height, bits, palette);
    for (size_t i = 0; i < p.indices.size(); ++i) {
        p.indices[i] = static_cast<uint8_t>(
            (i % static_cast<size_t>(width) + i / static_cast<size_t>(width)) % count);
        p.pixels[i] = palette[p.indices[i]];
    }
    return p;
}

Picture WithAlpha(Picture p, std::vector<uint8_t> alpha) {
    p.alpha = std::move(alpha);
    return p;
}

int Distance(Rgb8 a, Rgb8 b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

TEST(PictureReaders, ReadEveryKindAndKeepTransparencyOnlyWhereThereIsSome) {
    const Rgb8 red{230, 20, 30}, blue{20, 40, 220};
    const Picture halves = Bands(16, 8, {red, blue});
    std::vector<uint8_t> ramp(16 * 8);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i * 2);
    Picture gifPicture = Paletted(16, 8, 8, 3);
    const struct {
        const char* name;
        Bytes file;
        bool alpha;
        size_t probe;  // a pixel to check
        Rgb8 colour;
        int tolerance;
        uint8_t probeAlpha;
    } cases[] = {
        {"PNG with alpha", testing::EncodePng(WithAlpha(halves, ramp)), true, 100, red, 0, 200},
        {"PNG whose alpha is all opaque",
         testing::EncodePng(WithAlpha(halves, std::vector<uint8_t>(128, 255))), false, 1, red, 0,
         255},
        {"JPEG", testing::EncodeJpeg(halves, 100), false, 16 * 4 + 3, red, 8, 255},
        {"GIF with a transparent colour", testing::EncodeGif(gifPicture, 1), true, 1,
         gifPicture.palette[1], 0, 0},
        {"GIF without", testing::EncodeGif(gifPicture), false, 2, gifPicture.palette[2], 0, 255},
        {"bitmap with an alpha mask", testing::EncodeBitmapWithAlpha(WithAlpha(halves, ramp)), true,
         100, red, 0, 200},
        {"bitmap whose alpha is all zero",
         testing::EncodeBitmapWithAlpha(WithAlpha(halves, std::vector<uint8_t>(128, 0))), false,
         110, blue, 0, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Picture p = ReadPicture(c.file.data(), c.file.size());
        EXPECT_EQ(p.width, 16);
        EXPECT_EQ(p.height, 8);
        ASSERT_EQ(p.pixels.size(), 128u);
        EXPECT_EQ(p.hasAlpha(), c.alpha);
        if (c.probeAlpha != 0) {
            EXPECT_LE(Distance(p.pixels[c.probe], c.colour), c.tolerance);
        }
        if (p.hasAlpha()) {
            EXPECT_EQ(p.alpha[c.probe], c.probeAlpha);
        }
    }
}

void ExpectRefused(const Bytes& file, const std::string& message) {
    try {
        ReadPicture(file.data(), file.size());
        ADD_FAILURE() << "no error, expected: " << message;
    } catch (const FormatError& e) {
        EXPECT_EQ(e.what(), message);
    }
}

Bytes Cut(const Bytes& file, size_t size) {
    return Bytes(file.begin(), file.begin() + static_cast<long>(size));
}

// The offset of the first JPEG marker `marker` (FF, marker) after the start of image.
size_t FindMarker(const Bytes& file, uint8_t marker) {
    for (size_t i = 2; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == marker) return i;
    return 0;
}

// Empty image data chunks are legal and carry nothing; the decoder must not see them (it
// copies from a null buffer when the first one is empty).
TEST(PictureReaders, EmptyImageDataChunksChangeNothing) {
    const Picture source = Paletted(16, 8, 8, 5);
    const Bytes plain = testing::EncodePng(source);
    size_t idat = 8;  // the first image data chunk, found by walking the chunks
    while (std::memcmp(plain.data() + idat + 4, "IDAT", 4) != 0)
        idat += 12 + (size_t{plain[idat]} << 24 | size_t{plain[idat + 1]} << 16 |
                      size_t{plain[idat + 2]} << 8 | plain[idat + 3]);
    const Bytes empty = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    Bytes padded = plain;
    padded.insert(padded.begin() + static_cast<std::ptrdiff_t>(idat), empty.begin(), empty.end());
    const Picture expected = ReadPng(plain.data(), plain.size());
    const Picture read = ReadPng(padded.data(), padded.size());
    ASSERT_EQ(read.width, expected.width);
    ASSERT_EQ(read.height, expected.height);
    for (size_t i = 0; i < read.pixels.size(); ++i)
        ASSERT_EQ(Distance(read.pixels[i], expected.pixels[i]), 0) << "pixel " << i;
}

TEST(PictureReaders, RefuseCorruptTruncatedAndEnormousPicturesWithAReason) {
    const Picture photo = testing::PhotoLike(64, 48);
    const Bytes jpeg = testing::EncodeJpeg(photo);
    const size_t sof = FindMarker(jpeg, 0xC0);
    ASSERT_NE(sof, 0u);
    Bytes hugeJpeg = jpeg;  // the frame header claims 16384 x 16384
    for (size_t at : {sof + 5, sof + 7}) {
        hugeJpeg[at] = 0x40;
        hugeJpeg[at + 1] = 0x00;
    }
    Bytes zeroJpeg = jpeg;
    zeroJpeg[sof + 7] = zeroJpeg[sof + 8] = 0;
    const size_t sos = FindMarker(jpeg, 0xDA);
    ASSERT_NE(sos, 0u);
    Bytes undefinedTable = jpeg;  // the first component's scan uses DC and AC tables 2
    undefinedTable[sos + 6] = 0x22;
    Bytes badQuantisation = jpeg;  // the first component names quantisation table 10
    badQuantisation[sof + 12] = 10;
    Bytes lossless = jpeg;
    lossless[sof + 1] = 0xC3;
    Bytes twoFrames = jpeg;  // the frame header twice
    const size_t sofLength = size_t{jpeg[sof + 2]} << 8 | jpeg[sof + 3];
    twoFrames.insert(twoFrames.begin() + static_cast<long>(sof),
                     jpeg.begin() + static_cast<long>(sof),
                     jpeg.begin() + static_cast<long>(sof + 2 + sofLength));
    // A segment whose length runs past the end of the file.
    const Bytes longSegment = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x40, 'E', 'x', 'i', 'f'};

    const Bytes gif = testing::EncodeGif(Paletted(64, 48, 8, 200));
    Bytes hugeGif = gif;  // a 16384 x 16384 screen around a small image
    hugeGif[6] = hugeGif[8] = 0x00;
    hugeGif[7] = hugeGif[9] = 0x40;
    Bytes outside = gif;  // the image starts at x 1 on a screen exactly as wide
    outside[13 + 768 + 1] = 1;
    Bytes noImage = Cut(gif, 13 + 768);
    noImage.push_back(0x3B);
    Bytes unknownBlock = Cut(gif, 13 + 768);
    unknownBlock.push_back(0x99);

    const Bytes png = testing::EncodePng(photo);
    Bytes bigPng = testing::EncodePng(MakeRgbPicture(16, 16));
    // A header of 16384 x 16384 with enough bytes behind it (an ancillary chunk) that the
    // data could hold it; the pixel limit refuses it.
    for (int at : {16, 20}) {
        bigPng[static_cast<size_t>(at)] = 0;
        bigPng[static_cast<size_t>(at) + 1] = 0;
        bigPng[static_cast<size_t>(at) + 2] = 0x40;
        bigPng[static_cast<size_t>(at) + 3] = 0;
    }
    Bytes filler = {0, 0, 0x90, 0x00, 't', 'E', 'X', 't'};
    filler.resize(filler.size() + 0x9000 + 4, 'x');
    bigPng.insert(bigPng.begin() + 33, filler.begin(), filler.end());
    // A valid picture of 16385 x 1 is beyond the decoder's side limit, not damaged.
    const Bytes widePng = testing::EncodePng(16385, 1, 1, Bytes(16385, 0x80));

    // A 1-bit bitmap of 16384 x 8192 whose 16 MiB of pixels are all there.
    Picture wide = MakePalettedPicture(16384, 1, 1, {Rgb8{}, Rgb8{255, 255, 255}});
    Bytes hugeBitmap = EncodeBitmap(wide);
    hugeBitmap[22] = 0x00;
    hugeBitmap[23] = 0x20;  // height 8192
    hugeBitmap.resize(hugeBitmap.size() + size_t{2048} * 8191, 0);

    const struct {
        const char* name;
        Bytes file;
        std::string message;
    } cases[] = {
        {"JPEG cut in half", Cut(jpeg, jpeg.size() / 2),
         "truncated JPEG picture: it ends before its end marker"},
        {"JPEG without its end marker", Cut(jpeg, jpeg.size() - 2),
         "truncated JPEG picture: it ends before its end marker"},
        {"JPEG segment longer than the file", longSegment,
         "truncated JPEG picture: it ends before its end marker"},
        {"JPEG claiming 16384 x 16384", hugeJpeg,
         "corrupt JPEG picture: too little data for 16384 x 16384 pixels"},
        {"JPEG of width 0", zeroJpeg, "corrupt JPEG picture: it is 0 x 48 pixels"},
        {"JPEG scan using Huffman tables never defined", undefinedTable,
         "corrupt JPEG picture: a scan uses a Huffman table it does not define"},
        {"JPEG frame naming quantisation table 10", badQuantisation,
         "corrupt JPEG picture: a bad frame header"},
        {"lossless JPEG", lossless,
         "unsupported JPEG picture: lossless, hierarchical or arithmetic coding"},
        {"JPEG with two frame headers", twoFrames, "corrupt JPEG picture: a second frame header"},
        {"JPEG of nothing but its start", Bytes{0xFF, 0xD8, 0xFF},
         "truncated JPEG picture: it ends before its end marker"},
        {"GIF cut in half", Cut(gif, gif.size() / 2),
         "truncated GIF picture: it ends inside its first image"},
        {"GIF cut in its colour table", Cut(gif, 100),
         "truncated GIF picture: it ends inside its first image"},
        {"GIF screen of 16384 x 16384", hugeGif,
         "corrupt GIF picture: too little data for 16384 x 16384 pixels"},
        {"GIF image outside the screen", outside,
         "corrupt GIF picture: its first image lies outside the screen"},
        {"GIF without an image", noImage, "corrupt GIF picture: it holds no image"},
        {"GIF with an unknown block", unknownBlock, "corrupt GIF picture: an unknown block"},
        {"PNG without its end chunk", Cut(png, png.size() - 12),
         "truncated PNG picture: it ends before its end chunk"},
        {"PNG of 16384 x 16384 with data enough", bigPng,
         "PNG picture too large: 16384 x 16384 pixels, at most 67108864 pixels"},
        {"PNG of 16385 x 1", widePng, "PNG picture too large: 16385 x 1 pixels"},
        {"bitmap of 16384 x 8192", hugeBitmap,
         "bitmap too large: 16384 x 8192 pixels, at most 67108864 pixels"},
        {"no picture at all", Bytes{'%', 'P', 'D', 'F'}, "not a bitmap, PNG, JPEG or GIF picture"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefused(c.file, c.message);
    }
    // The GIF reader called on a JPEG: the decoder would take it as one, past the JPEG walk
    // (its Huffman table then overran, found by fuzzing).
    try {
        ReadGif(jpeg.data(), jpeg.size());
        ADD_FAILURE() << "a JPEG was read as a GIF";
    } catch (const FormatError& e) {
        EXPECT_STREQ(e.what(), "not a GIF picture");
    }
}

TEST(PictureScale, AveragesAreTakenInLinearLightWeightedByOpacity) {
    // Black and white average to the sRGB value of half the light (188), not 128.
    Picture checker = MakeRgbPicture(2, 2, Rgb8{0, 0, 0});
    checker.pixels[1] = checker.pixels[2] = {255, 255, 255};
    const Picture grey = FitPicture(checker, 1, 1);
    EXPECT_EQ(grey.pixels[0].r, 188);
    EXPECT_FALSE(grey.hasAlpha());

    // A clear pixel's colour does not bleed into its opaque neighbour.
    Picture pair = MakeRgbPicture(2, 1, Rgb8{255, 0, 255});
    pair.pixels[0] = {40, 200, 90};
    pair.alpha = {255, 0};
    const Picture half = FitPicture(pair, 1, 1);
    ASSERT_TRUE(half.hasAlpha());
    EXPECT_EQ(half.alpha[0], 128);
    EXPECT_LE(Distance(half.pixels[0], Rgb8{40, 200, 90}), 1);

    // The same size is the identity; a whole factor repeats each pixel.
    const Picture photo = testing::PhotoLike(32, 32);
    EXPECT_EQ(0, std::memcmp(FitPicture(photo, 32, 32).pixels.data(), photo.pixels.data(),
                             photo.pixels.size() * sizeof(Rgb8)));
    const Picture doubled = FitPicture(Bands(2, 1, {{10, 20, 30}, {200, 100, 0}}), 4, 4);
    for (int y = 0; y < 4; ++y) {
        const bool inside = y == 1 || y == 2;  // 4 x 2 placed in the middle rows
        for (int x = 0; x < 4; ++x) {
            const size_t i = static_cast<size_t>(y) * 4 + x;
            EXPECT_EQ(doubled.alpha[i], inside ? 255 : 0) << x << "," << y;
            if (inside) {
                EXPECT_EQ(doubled.pixels[i].r, x < 2 ? 10 : 200);
            }
        }
    }

    // Cover keeps the middle of a wide picture and crops both sides.
    const Picture cover = CoverPicture(
        Bands(1024, 192, {{255, 0, 0}, {0, 255, 0}, {0, 255, 0}, {0, 0, 255}}), 256, 192);
    ASSERT_EQ(cover.pixels.size(), 256u * 192u);
    for (const Rgb8& c : cover.pixels)
        ASSERT_EQ(std::make_tuple(c.r, c.g, c.b), std::make_tuple(0, 255, 0));
}

TEST(ColourQuantiser, NeverMoreThanAskedDistinctDsColoursAndExactWhenFewEnough) {
    std::mt19937 rng(5);
    auto randomColours = [&](size_t count, size_t distinct) {
        std::vector<Rgb8> pool(distinct), out(count);
        for (Rgb8& c : pool)
            c = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                 static_cast<uint8_t>(rng())};
        for (Rgb8& c : out) c = pool[rng() % distinct];
        return std::make_pair(out, pool);
    };
    for (const auto& [count, distinct] : std::vector<std::pair<size_t, size_t>>{
             {1, 1}, {1024, 2}, {1024, 15}, {1024, 16}, {1024, 200}, {1024, 1024}, {30, 30}}) {
        SCOPED_TRACE(std::to_string(distinct) + " colours");
        const auto [colours, pool] = randomColours(count, distinct);
        const std::vector<Rgb8> palette = ChoosePalette(colours, 15);
        EXPECT_LE(palette.size(), 15u);
        EXPECT_GE(palette.size(), std::min<size_t>(15, 1));
        std::set<std::tuple<int, int, int>> seen;
        for (const Rgb8& c : palette) {
            const Rgb8 v = DsVisible(c);
            EXPECT_EQ(std::make_tuple(c.r, c.g, c.b), std::make_tuple(v.r, v.g, v.b));
            EXPECT_TRUE(seen.insert({c.r, c.g, c.b}).second) << "a colour twice";
        }
        std::set<std::tuple<int, int, int>> used;
        for (const Rgb8& c : colours) {
            const Rgb8 d = NearestDsColour(c);
            used.insert({d.r, d.g, d.b});
        }
        if (used.size() <= 15) {
            EXPECT_EQ(seen, used);
        }
    }
    EXPECT_TRUE(ChoosePalette({}, 15).empty());
}

TEST(MenuIcon, DsReadyBitmapsAreUsedByteForByteAndOthersConverted) {
    Picture eightBitLowIndices = Paletted(32, 32, 8, 200);
    for (uint8_t& i : eightBitLowIndices.indices) i = static_cast<uint8_t>(i % 16);
    const struct {
        const char* name;
        Bytes file;
        bool converted;
    } cases[] = {
        {"4 bits, 16 colours", EncodeBitmap(Paletted(32, 32, 4, 16)), false},
        {"4 bits, top-down", EncodeBitmap(Paletted(32, 32, 4, 9), true), false},
        {"1 bit", EncodeBitmap(Paletted(32, 32, 1, 2)), false},
        {"8 bits using indices below 16", EncodeBitmap(eightBitLowIndices), false},
        {"8 bits using 200 colours", EncodeBitmap(Paletted(32, 32, 8, 200)), true},
        {"24 bits at 32 x 32", EncodeBitmap(testing::PhotoLike(32, 32)), true},
        {"4 bits at 48 x 48", EncodeBitmap(Paletted(48, 48, 4, 16)), true},
        {"PNG at 32 x 32 of 16 colours", testing::EncodePng(Paletted(32, 32, 4, 16)), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MenuIcon icon = MakeMenuIcon(c.file.data(), c.file.size());
        EXPECT_EQ(icon.converted, c.converted);
        if (!c.converted) {
            EXPECT_EQ(icon.file, c.file);
            continue;
        }
        // A converted icon: a 4-bit bitmap of 16 entries that ndstool takes.
        const Picture back = ReadBitmap(icon.file.data(), icon.file.size());
        EXPECT_NO_THROW(CheckIcon(back));
        EXPECT_EQ(back.bitsPerPixel, 4);
        EXPECT_EQ(back.palette.size(), 16u);
        EXPECT_EQ(back.indices, icon.picture.indices);
    }
}

TEST(MenuIcon, ConvertedIconsKeepIndexZeroForClearPixelsAndUseAtMostFifteenColours) {
    Picture ring = testing::AlphaBadge();
    const struct {
        const char* name;
        Picture picture;
        int clearRowsAbove;  // of a wide picture, centred
    } cases[] = {
        {"wide photo", testing::PhotoLike(320, 160), 8},
        {"tall photo", testing::PhotoLike(100, 400), 0},
        {"square photo", testing::PhotoLike(500, 500), 0},
        {"badge with alpha", ring, 6},
        {"one pixel", testing::OnePixel(), 0},
        {"a single colour", MakeRgbPicture(70, 70, Rgb8{255, 255, 255}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = testing::EncodePng(c.picture);
        const MenuIcon icon = MakeMenuIcon(file.data(), file.size());
        ASSERT_TRUE(icon.converted);
        const std::vector<Rgba8> shown = MenuIconRgba(icon.picture);
        std::set<std::tuple<int, int, int>> colours;
        for (size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i].a == 0, icon.picture.indices[i] == 0) << i;
            if (shown[i].a != 0) colours.insert({shown[i].r, shown[i].g, shown[i].b});
        }
        EXPECT_GE(colours.size(), 1u);
        EXPECT_LE(colours.size(), 15u);
        for (int y = 0; y < c.clearRowsAbove; ++y)
            for (int x = 0; x < 32; ++x)
                EXPECT_EQ(icon.picture.indices[static_cast<size_t>(y) * 32 + x], 0)
                    << x << "," << y;
    }
}

// The largest mean colour distance (Euclidean, 8-bit RGB) between a converted icon and a
// plain box downscale of its source in linear light, over the pixels both show, and the
// largest share of pixels shown by one and not the other. The DS's 5-bit channels alone
// cost up to 7 (the 1 x 1 orange costs 4.6); 15 colours add a little to that. A sampling
// downscale or a palette that misses a colour goes far past it. (Against an average of
// the sRGB values, edges between light and dark differ by design; that is printed too.)
constexpr double kMeanErrorBound = 8.0;
constexpr double kVisibilityBound = 0.02;

TEST(MenuIcon, ReferencePicturesStayCloseToAPlainDownscale) {
    const Picture large = testing::PhotoLike(4000, 3000);
    std::vector<std::vector<testing::Panel>> strips;
    const struct {
        const char* name;
        Picture picture;
        Bytes file;
    } cases[] = {
        {"flat-colour logo (PNG)", testing::FlatLogo(), testing::EncodePng(testing::FlatLogo())},
        {"photo-like 640 x 480 (JPEG)", testing::PhotoLike(640, 480),
         testing::EncodeJpeg(testing::PhotoLike(640, 480), 95)},
        {"badge with alpha (PNG)", testing::AlphaBadge(),
         testing::EncodePng(testing::AlphaBadge())},
        {"1 x 1 (GIF)", testing::OnePixel(), {}},
        {"4000 x 3000 (JPEG)", large, testing::EncodeJpeg(large, 90)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = c.file;
        if (file.empty()) {  // the 1 x 1 as a one-colour GIF
            Picture one = MakePalettedPicture(1, 1, 8, {c.picture.pixels[0]});
            file = testing::EncodeGif(one);
        }
        const MenuIcon icon = MakeMenuIcon(file.data(), file.size());
        const std::vector<Rgba8> shown = MenuIconRgba(icon.picture);
        const auto error = testing::Compare(shown, testing::PlainFit(c.picture, 32, true));
        const auto srgb = testing::Compare(shown, testing::PlainFit(c.picture, 32, false));
        std::printf(
            "%-30s linear: mean %5.2f worst %5.1f visibility %4.1f%% | sRGB: mean %5.2f "
            "worst %5.1f\n",
            c.name, error.mean, error.worst, 100 * error.visibility, srgb.mean, srgb.worst);
        if (const char* dir = std::getenv("PELLIX_SIDE_BY_SIDE")) {
            strips.push_back({{testing::PlainFit(c.picture, 256, true), 256},
                              {testing::PlainFit(c.picture, 32, false), 32},
                              {testing::PlainFit(c.picture, 32, true), 32},
                              {shown, 32}});
            testing::WriteSideBySide(std::string(dir) + "/icons.png", strips);
        }
        EXPECT_LE(error.mean, kMeanErrorBound);
        EXPECT_LE(error.visibility, kVisibilityBound);
    }
}

TEST(BorderPicture, ScreenSizedBitmapsAndPngsStayOthersCoverTheScreen) {
    const Picture screen = testing::PhotoLike(256, 192);
    const Rgb8 green{0, 255, 0};
    const Picture wide = Bands(1024, 192, {{255, 0, 0}, green, green, {0, 0, 255}});
    Picture tall = Bands(64, 256, {green});
    for (int x = 0; x < 64; ++x) tall.pixels[static_cast<size_t>(x)] = {255, 0, 0};  // row 0
    const struct {
        const char* name;
        Bytes file;
        bool converted;
        Rgb8 corner;  // the converted border's top-left pixel
    } cases[] = {
        {"256 x 192 bitmap", EncodeBitmap(screen), false, {}},
        {"256 x 192 PNG", testing::EncodePng(screen), false, {}},
        {"256 x 192 JPEG", testing::EncodeJpeg(screen, 100), true, screen.pixels[0]},
        {"wide PNG: the middle is kept", testing::EncodePng(wide), true, green},
        {"tall GIF: the top row is cropped",
         testing::EncodeGif(MakePalettedPicture(64, 256, 8, {green})), true, green},
        {"1 x 1 bitmap", EncodeBitmap(MakeRgbPicture(1, 1, green)), true, green},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const BorderPicture border = MakeBorderPicture(c.file.data(), c.file.size());
        EXPECT_EQ(border.converted, c.converted);
        if (!c.converted) {
            EXPECT_EQ(border.file, c.file);
            continue;
        }
        const Picture back = ReadBitmap(border.file.data(), border.file.size());
        EXPECT_EQ(back.width, 256);
        EXPECT_EQ(back.height, 192);
        EXPECT_EQ(back.bitsPerPixel, 24);
        EXPECT_LE(Distance(back.pixels[0], c.corner), 6);
    }
}

TEST(PictureConversion, BrokenPicturesAreRefusedWithTheDecodersReason) {
    const Bytes jpeg = testing::EncodeJpeg(testing::PhotoLike(64, 48));
    const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
    for (const auto& make :
         {+[](const Bytes& b) { (void)MakeMenuIcon(b.data(), b.size()); },
          +[](const Bytes& b) { (void)MakeBorderPicture(b.data(), b.size()); }}) {
        try {
            make(cut);
            ADD_FAILURE() << "no error";
        } catch (const FormatError& e) {
            EXPECT_STREQ(e.what(), "truncated JPEG picture: it ends before its end marker");
        }
    }
}

}  // namespace
}  // namespace pellix::formats
