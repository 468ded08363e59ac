// Picture readers, the bitmap writer and the 16-bit DS conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>


#include "formats/bitmap16.h"
#include "formats/bitmap_writer.h"
#include "formats/format_error.h"
#include "formats/picture.h"
#include "support/pictures.h"
#include "support/scratch.h"

namespace pellix::formats {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using pellix::testing::EncodePng;

void PutLe(Bytes& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

// What a bitmap file holds, written out by BuildBmp independently of the project's writer.
struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 3;
    int32_t height = 2;
    bool topDown = false;
    uint16_t bpp = 24;
    uint32_t compression = 0;
    std::vector<Rgb8> palette;  // all of it is written; clrUsed says how much counts
    uint32_t clrUsed = 0;
    std::vector<uint32_t> masks;  // inside a header of 52+ bytes, else after a 40-byte one
    std::vector<Bytes> rows;      // top-down, packed, without the padding
};

Bytes BuildBmp(const BmpLayout& s) {
    const bool core = s.headerSize == 12;
    const size_t entry = core ? 3 : 4;
    const size_t masksAfter = s.headerSize == 40 ? s.masks.size() * 4 : 0;
    const size_t pixelOffset = 14 + s.headerSize + masksAfter + s.palette.size() * entry;
    size_t rowBytes = 0;
    for (const Bytes& r : s.rows) rowBytes = std::max(rowBytes, (r.size() + 3) / 4 * 4);
    Bytes out(pixelOffset + rowBytes * s.rows.size(), 0);
    out[0] = 'B';
    out[1] = 'M';
    PutLe(out, 2, static_cast<uint32_t>(out.size()), 4);
    PutLe(out, 10, static_cast<uint32_t>(pixelOffset), 4);
    PutLe(out, 14, s.headerSize, 4);
    if (core) {
        PutLe(out, 18, static_cast<uint32_t>(s.width), 2);
        PutLe(out, 20, static_cast<uint32_t>(s.height), 2);
        PutLe(out, 22, 1, 2);
        PutLe(out, 24, s.bpp, 2);
    } else {
        PutLe(out, 18, static_cast<uint32_t>(s.width), 4);
        PutLe(out, 22, static_cast<uint32_t>(s.topDown ? -s.height : s.height), 4);
        PutLe(out, 26, 1, 2);
        PutLe(out, 28, s.bpp, 2);
        PutLe(out, 30, s.compression, 4);
        PutLe(out, 46, s.clrUsed, 4);
        for (size_t i = 0; i < s.masks.size(); ++i) PutLe(out, 54 + 4 * i, s.masks[i], 4);
    }
    size_t at = 14 + s.headerSize + masksAfter;
    for (const Rgb8& c : s.palette) {
        out[at] = c.b;
        out[at + 1] = c.g;
        out[at + 2] = c.r;
        at += entry;
    }
    for (size_t y = 0; y < s.rows.size(); ++y) {
        const size_t fileRow = s.topDown ? y : s.rows.size() - 1 - y;
        std::copy(s.rows[y].begin(), s.rows[y].end(),
                  out.begin() + pixelOffset + fileRow * rowBytes);
    }
    return out;
}

Bytes Words16(const std::vector<uint16_t>& words) {
    Bytes out;
    for (uint16_t w : words) {
        out.push_back(static_cast<uint8_t>(w));
        out.push_back(static_cast<uint8_t>(w >> 8));
    }
    return out;
}

// The test picture, 3 x 2 (an odd width), in colours whose DS values are easy to check.
const Rgb8 A{248, 0, 0}, B{0, 248, 0}, C{0, 0, 248}, D{255, 255, 255}, E{8, 16, 24}, F{0, 0, 0};
// Its 16-bit form: rows of three pixels plus one zero pixel of padding.
const Bytes kExpected16 = Words16({0x001F, 0x03E0, 0x7C00, 0, 0x7FFF, 0x0C41, 0x0000, 0});

Bytes Rgb24(std::initializer_list<Rgb8> colours) {
    Bytes out;
    for (const Rgb8& c : colours) out.insert(out.end(), {c.b, c.g, c.r});
    return out;
}

Bytes Le16(std::initializer_list<uint16_t> values) {
    return Words16(values);
}

Bytes Le32(std::initializer_list<uint32_t> values) {
    Bytes out;
    for (uint32_t v : values)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

struct DepthCase {
    const char* name;
    BmpLayout layout;
    Bytes expected16;
};

std::vector<DepthCase> DepthCases() {
    const std::vector<Rgb8> six = {F, A, B, C, D, E};
    std::vector<Rgb8> full256(256, Rgb8{1, 2, 3});
    std::copy(six.begin(), six.end(), full256.begin());
    std::vector<Rgb8> full16(16, Rgb8{9, 9, 9});
    std::copy(six.begin(), six.end(), full16.begin());
    const Bytes indices8a = {1, 2, 3}, indices8b = {4, 5, 0};
    const Bytes onebitWords = Words16({0x001F, 0x7FFF, 0x001F, 0, 0x7FFF, 0x7FFF, 0x001F, 0});

    std::vector<DepthCase> cases;
    auto add = [&](const char* name, BmpLayout layout, Bytes expected = kExpected16) {
        cases.push_back({name, layout, expected});
    };
    BmpLayout s;
    s.bpp = 1;
    s.palette = {A, D};
    s.rows = {{0x40}, {0xC0}};
    add("1 bit", s, onebitWords);

    s = {};
    s.bpp = 4;
    s.palette = six;
    s.clrUsed = 6;
    s.rows = {{0x12, 0x30}, {0x45, 0x00}};
    add("4 bits, 6 colours declared", s);

    s = {};
    s.bpp = 8;
    s.palette = full256;
    s.rows = {indices8a, indices8b};
    add("8 bits, full palette", s);

    s = {};
    s.headerSize = 124;
    s.bpp = 8;
    s.palette = six;
    s.clrUsed = 6;
    s.rows = {indices8a, indices8b};
    add("8 bits, V5 header", s);

    s = {};
    s.bpp = 16;
    s.rows = {Le16({0x7C00, 0x03E0, 0x001F}), Le16({0x7FFF, 0x0443, 0})};
    add("16 bits 5-5-5", s);

    s = {};
    s.bpp = 16;
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.rows = {Le16({0xF800, 0x07C0, 0x001F}), Le16({0xFFFF, 0x0883, 0})};
    add("16 bits 5-6-5 bitfields", s);

    s.headerSize = 108;
    add("16 bits 5-6-5, masks in a V4 header", s);

    s = {};
    s.rows = {Rgb24({A, B, C}), Rgb24({D, E, F})};
    add("24 bits", s);

    s = {};
    s.bpp = 32;
    s.rows = {Le32({0x80F80000, 0x8000F800, 0x800000F8}), Le32({0x80FFFFFF, 0x80081018, 0})};
    add("32 bits, alpha ignored", s);

    s = {};
    s.bpp = 32;
    s.compression = 3;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    s.rows = {Le32({0xFF0000F8, 0xFF00F800, 0xFFF80000}), Le32({0xFFFFFFFF, 0xFF181008, 0})};
    add("32 bits, RGBA bitfields", s);

    s = {};
    s.headerSize = 12;
    s.rows = {Rgb24({A, B, C}), Rgb24({D, E, F})};
    add("24 bits, OS/2 core header", s);

    s = {};
    s.headerSize = 12;
    s.bpp = 4;
    s.palette = full16;
    s.rows = {{0x12, 0x30}, {0x45, 0x00}};
    add("4 bits, OS/2 core header", s);
    return cases;
}

TEST(Bitmap16, KnownPictureGivesExactBytesWithOddWidthPadding) {
    Picture picture = MakeRgbPicture(3, 2);
    picture.pixels = {A, B, C, D, E, F};
    EXPECT_EQ(ToBitmap16(picture), kExpected16);

    Picture even = MakeRgbPicture(2, 1);
    even.pixels = {Rgb8{255, 255, 255}, Rgb8{7, 7, 7}};  // 7 >> 3 is 0
    EXPECT_EQ(ToBitmap16(even), Words16({0x7FFF, 0x0000}));
}

TEST(BitmapReader, ReadsEveryDepthInBothRowOrders) {
    for (const DepthCase& c : DepthCases()) {
        for (bool topDown : {false, true}) {
            if (topDown && c.layout.headerSize == 12) continue;  // core headers are bottom-up only
            SCOPED_TRACE(std::string(c.name) + (topDown ? ", top-down" : ", bottom-up"));
            BmpLayout layout = c.layout;
            layout.topDown = topDown;
            const Bytes file = BuildBmp(layout);
            const Picture picture = ReadBitmap(file.data(), file.size());
            EXPECT_EQ(picture.width, 3);
            EXPECT_EQ(picture.height, 2);
            EXPECT_EQ(picture.bitsPerPixel, layout.bpp);
            EXPECT_EQ(ToBitmap16(picture), c.expected16);
            if (layout.bpp <= 8) {
                const size_t declared = layout.clrUsed ? layout.clrUsed : size_t{1} << layout.bpp;
                EXPECT_EQ(picture.palette.size(), declared);
                EXPECT_EQ(picture.indices.size(), 6u);
            } else {
                EXPECT_FALSE(picture.paletted());
            }
        }
    }
}

TEST(BitmapReader, PaletteIndicesSurviveAV5Header) {
    BmpLayout s;
    s.headerSize = 124;
    s.bpp = 4;
    s.palette = {F, A, B, C, D, E};
    s.clrUsed = 6;
    s.rows = {{0x12, 0x30}, {0x45, 0x00}};
    const Bytes file = BuildBmp(s);
    const Picture picture = ReadBitmap(file.data(), file.size());
    EXPECT_EQ(picture.indices, (Bytes{1, 2, 3, 4, 5, 0}));
    ASSERT_EQ(picture.palette.size(), 6u);
    EXPECT_EQ(picture.palette[5].r, E.r);
    EXPECT_EQ(picture.palette[5].b, E.b);
}

TEST(BitmapWriter, RoundTripsThroughTheReader) {
    std::mt19937 rng(1);
    for (int bpp : {1, 4, 8, 24}) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::to_string(bpp) + (topDown ? " top-down" : " bottom-up"));
            const int width = 13, height = 5;
            Picture picture;
            if (bpp == 24) {
                picture = MakeRgbPicture(width, height);
                for (Rgb8& c : picture.pixels)
                    c = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                         static_cast<uint8_t>(rng())};
            } else {
                const size_t colours = bpp == 1 ? 2 : bpp == 4 ? 11 : 200;
                std::vector<Rgb8> palette(colours);
                for (size_t i = 0; i < colours; ++i)
                    palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7};
                picture = MakePalettedPicture(width, height, bpp, palette);
                for (size_t i = 0; i < picture.indices.size(); ++i) {
                    picture.indices[i] = static_cast<uint8_t>(rng() % colours);
                    picture.pixels[i] = palette[picture.indices[i]];
                }
            }
            const Bytes file = EncodeBitmap(picture, topDown);
            const Picture back = ReadBitmap(file.data(), file.size());
            EXPECT_EQ(back.bitsPerPixel, bpp);
            EXPECT_EQ(back.indices, picture.indices);
            EXPECT_EQ(back.palette.size(), picture.palette.size());
            EXPECT_EQ(ToBitmap16(back), ToBitmap16(picture));
            EXPECT_EQ(0, std::memcmp(back.pixels.data(), picture.pixels.data(),
                                     picture.pixels.size() * sizeof(Rgb8)));
        }
    }
}

TEST(BitmapWriter, RefusesInconsistentPictures) {
    Picture bad = MakePalettedPicture(2, 2, 4, {A, B});
    bad.indices[3] = 2;
    EXPECT_THROW(EncodeBitmap(bad), FormatError);
    EXPECT_THROW(EncodeBitmap(MakePalettedPicture(2, 2, 1, {A, B, C})), FormatError);
    EXPECT_THROW(EncodeBitmap(MakeRgbPicture(0, 2)), FormatError);
}

void ExpectBitmapError(const Bytes& file, const std::string& message) {
    try {
        ReadBitmap(file.data(), file.size());
        ADD_FAILURE() << "no error, expected: " << message;
    } catch (const FormatError& e) {
        EXPECT_EQ(e.what(), message);
    }
}

TEST(BitmapReader, BadInputsGiveOneLineReasons) {
    BmpLayout good;
    good.rows = {Rgb24({A, B, C}), Rgb24({D, E, F})};
    const Bytes file = BuildBmp(good);
    auto with = [&](size_t at, uint32_t value, int bytes) {
        Bytes f = file;
        PutLe(f, at, value, bytes);
        return f;
    };
    auto cut = [&](size_t size) { return Bytes(file.begin(), file.begin() + size); };
    const std::string pixelsShort = "truncated bitmap: the pixel data ends early";
    const std::string headerShort = "truncated bitmap: the header ends early";

    const struct {
        const char* name;
        Bytes file;
        std::string message;
    } cases[] = {
        {"not BM", Bytes{'P', 'K', 3, 4}, "not a Windows bitmap"},
        {"file header only", cut(10), headerShort},
        {"info header cut", cut(30), headerShort},
        {"last pixel byte missing", cut(file.size() - 1), pixelsShort},
        {"pixel offset past the end", with(10, 1u << 30, 4), pixelsShort},
        {"zero width", with(18, 0, 4), "bad bitmap size: 0 x 2 pixels"},
        {"negative width", with(18, static_cast<uint32_t>(-3), 4),
         "bad bitmap size: -3 x 2 pixels"},
        {"zero height", with(22, 0, 4), "bad bitmap size: 3 x 0 pixels"},
        {"absurd width", with(18, 100000, 4),
         "bitmap too large: 100000 x 2 pixels, at most 16384 on each side"},
        {"most negative height", with(22, 0x80000000u, 4),
         "bitmap too large: 3 x 2147483648 pixels, at most 16384 on each side"},
        {"large size claimed by a tiny file", with(18, 16384, 4), pixelsShort},
        {"2 bits per pixel", with(28, 2, 2), "unsupported bitmap depth: 2 bits per pixel"},
        {"RLE", with(30, 1, 4), "compressed (RLE) bitmaps are not supported; save it uncompressed"},
        {"JPEG inside", with(30, 4, 4), "bitmaps holding JPEG or PNG data are not supported"},
        {"unknown compression", with(30, 9, 4), "unsupported bitmap compression 9"},
        {"masks on 24 bits", with(30, 3, 4), "bad bitmap: colour masks on a 24-bit bitmap"},
        {"odd header size", with(14, 20, 4), "unsupported bitmap header of 20 bytes"},
        {"header larger than the file", with(14, 4000, 4), headerShort},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectBitmapError(c.file, c.message);
    }

    BmpLayout palette;
    palette.bpp = 8;
    palette.palette = {A, B};
    palette.clrUsed = 256;  // declares more than the file holds
    palette.rows = {{0, 1, 0}, {1, 0, 1}};
    Bytes shortPalette = BuildBmp(palette);
    shortPalette.resize(14 + 40 + 8);
    ExpectBitmapError(shortPalette, "truncated bitmap: the palette ends early");

    BmpLayout outside;
    outside.bpp = 4;
    outside.palette = {A, B, C, D, E, F};
    outside.clrUsed = 6;
    outside.rows = {{0x12, 0x70}, {0x45, 0x00}};
    ExpectBitmapError(BuildBmp(outside), "bad bitmap: a pixel uses colour 7 but the palette has 6");
}

TEST(PngReader, DecodesColourGreyAndAlphaPictures) {
    const Bytes rgb = {248, 0, 0, 0, 248, 0, 0, 0, 248, 255, 255, 255, 8, 16, 24, 0, 0, 0};
    Bytes rgba;
    for (size_t i = 0; i < rgb.size(); i += 3)
        rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], static_cast<uint8_t>(i * 9)});

    const Bytes rgbFile = EncodePng(3, 2, 3, rgb);
    const Picture fromRgb = ReadPng(rgbFile.data(), rgbFile.size());
    EXPECT_EQ(fromRgb.width, 3);
    EXPECT_EQ(fromRgb.height, 2);
    EXPECT_FALSE(fromRgb.paletted());
    EXPECT_EQ(ToBitmap16(fromRgb), kExpected16);

    const Bytes rgbaFile = EncodePng(3, 2, 4, rgba);
    EXPECT_EQ(ToBitmap16(ReadPng(rgbaFile.data(), rgbaFile.size())), kExpected16);

    const Bytes greyFile = EncodePng(2, 1, 1, {0xF8, 0x08});
    EXPECT_EQ(ToBitmap16(ReadPng(greyFile.data(), greyFile.size())), Words16({0x7FFF, 0x0421}));
}

TEST(PngReader, CorruptPicturesAreRejected) {
    Bytes picture(64 * 64 * 3);
    std::mt19937 rng(9);
    for (auto& b : picture) b = static_cast<uint8_t>(rng());
    const Bytes file = EncodePng(64, 64, 3, picture);
    Bytes truncated(file.begin(), file.begin() + static_cast<long>(file.size() / 2));
    Bytes badHeader = file;
    badHeader[12] = 'X';  // the first chunk is no longer IHDR
    Bytes onlySignature(file.begin(), file.begin() + 8);
    for (const Bytes& bad : {truncated, badHeader, onlySignature}) {
        try {
            ReadPng(bad.data(), bad.size());
            ADD_FAILURE() << "no error";
        } catch (const FormatError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("corrupt PNG picture: ", 0), 0u) << e.what();
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
        }
    }
}

TEST(PngReader, RefusesChunksLongerThanTheFile) {
    // A declared chunk length the decoder would otherwise allocate before checking it.
    Bytes file = EncodePng(2, 2, 3, Bytes(12, 1));
    const size_t idatLength = 8 + 25;  // after the signature and the IHDR chunk
    ASSERT_EQ(std::memcmp(&file[idatLength + 4], "IDAT", 4), 0);
    file[idatLength] = 0x49;  // about 1.2 GB
    // The same with a chunk whose head fits but whose data and CRC do not.
    Bytes cutHead = EncodePng(2, 2, 3, Bytes(12, 1));
    cutHead.resize(cutHead.size() - 12);  // drop IEND
    cutHead.insert(cutHead.end(), {0x44, 0, 0, 0, 'I', 'D', 'A', 'T', 0x4A});
    for (const Bytes& bad : {file, cutHead}) {
        try {
            ReadPng(bad.data(), bad.size());
            ADD_FAILURE() << "no error";
        } catch (const FormatError& e) {
            EXPECT_STREQ(e.what(), "corrupt PNG picture: a chunk runs past the end of the file");
        }
    }
}

TEST(PngReader, RefusesSizesTheDataCannotHoldBeforeDecoding) {
    Bytes file = EncodePng(4, 4, 3, Bytes(48, 0x55));
    for (int at : {16, 20}) {  // IHDR width and height, big-endian
        file[at] = 0;
        file[at + 1] = 0;
        file[at + 2] = 0x40;
        file[at + 3] = 0x00;
    }
    try {
        ReadPng(file.data(), file.size());
        ADD_FAILURE() << "no error";
    } catch (const FormatError& e) {
        EXPECT_STREQ(e.what(), "corrupt PNG picture: too little data for 16384 x 16384 pixels");
    }
}

class PictureFileTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        const fs::path path = dir_ / name;
        pellix::testing::WriteBytes(path, bytes);
        return path.string();
    }

    void ExpectError(const std::string& path, const std::string& message) {
        try {
            ReadPictureFile(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const FormatError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }

    const pellix::testing::TempDir scratch_{"pellix-picture"};
    const fs::path dir_ = scratch_.path();
};

TEST_F(PictureFileTest, ChoosesTheReaderByContentAndReportsFileProblems) {
    Picture picture = MakeRgbPicture(3, 2);
    picture.pixels = {A, B, C, D, E, F};
    const std::string bmp = Write("border.bmp", EncodeBitmap(picture));
    const Bytes rgb = {248, 0, 0, 0, 248, 0, 0, 0, 248, 255, 255, 255, 8, 16, 24, 0, 0, 0};
    const std::string pngNamedBmp = Write("png.bmp", EncodePng(3, 2, 3, rgb));
    EXPECT_EQ(ToBitmap16(ReadPictureFile(bmp)), kExpected16);
    EXPECT_EQ(ToBitmap16(ReadPictureFile(pngNamedBmp)), kExpected16);

    ExpectError((dir_ / "missing.bmp").string(), "no such file");
    ExpectError(dir_.string(), "it is a folder");
    ExpectError(Write("notes.bmp", {'h', 'e', 'l', 'l', 'o'}), "not a bitmap, PNG, JPEG or GIF picture");
    ExpectError(Write("empty.bmp", {}), "not a bitmap, PNG, JPEG or GIF picture");
    const Bytes whole = EncodeBitmap(picture);
    ExpectError(Write("cut.bmp", Bytes(whole.begin(), whole.begin() + 60)),
                "truncated bitmap: the pixel data ends early");
}

}  // namespace
}  // namespace pellix::formats
