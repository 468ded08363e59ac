// DS package: CRC16, header, file system tables, banner, EFS patch, writer errors and reader.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/banner.h"
#include "formats/content_digest.h"
#include "formats/package_stamp.h"
#include "formats/bitmap_writer.h"
#include "formats/crc16.h"
#include "formats/efs_patch.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/nds_filesystem.h"
#include "formats/nds_reader.h"
#include "formats/nds_writer.h"
#include "support/scratch.h"

namespace pellix::formats {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Bit-at-a-time CRC-16/MODBUS, written from the definition, to check the table-driven one.
uint16_t ReferenceCrc(const uint8_t* data, size_t size) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

uint16_t U16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> values) {
    std::copy(values.begin(), values.end(), b.begin() + static_cast<long>(at));
}
void PutText(Bytes& b, size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), b.begin() + static_cast<long>(at));
}

// The shared scratch folder, naming its files as the string paths the reader and writer take.
struct TempDir : pellix::testing::TempDir {
    TempDir() : pellix::testing::TempDir("pellix-nds") {}
    std::string operator/(const std::string& name) const {
        return path().generic_string() + "/" + name;
    }
};

void WriteFile(const std::string& path, const Bytes& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}
void WriteFile(const std::string& path, const std::string& text) {
    WriteFile(path, Bytes(text.begin(), text.end()));
}
Bytes ReadAll(const std::string& path) {
    return ReadFileBytes(path);
}

// A 32 x 32 4-bit icon whose index is (x + 2y) % 16 and whose palette is 16 known colours.
Picture PatternIcon(int bitsPerPixel = 4) {
    Picture icon;
    icon.width = icon.height = 32;
    icon.bitsPerPixel = bitsPerPixel;
    icon.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {8, 16, 24}, {7, 7, 7}, {255, 255, 255}};
    icon.palette.resize(16, Rgb8{1, 2, 3});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) icon.indices.push_back(static_cast<uint8_t>((x + 2 * y) % 16));
    for (uint8_t i : icon.indices) icon.pixels.push_back(icon.palette[i]);
    return icon;
}

// ---------------------------------------------------------------- CRC16

TEST(Crc16, MatchesTheCheckValueAndTheBitwiseDefinitionAndContinues) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x4B37);
    Bytes random(1000);
    std::mt19937 gen(7);
    for (auto& b : random) b = static_cast<uint8_t>(gen());
    EXPECT_EQ(Crc16(random.data(), random.size()), ReferenceCrc(random.data(), random.size()));
    const uint16_t first = Crc16(random.data(), 333);
    EXPECT_EQ(Crc16(random.data() + 333, random.size() - 333, first),
              Crc16(random.data(), random.size()));
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
}

// ---------------------------------------------------------------- layout

// The digest is XXH64: its published values, whatever the pieces the bytes come in.
TEST(ContentDigest, GivesXxh64InAnyPieces) {
    const std::string thousand(1000, 'x');
    const std::pair<std::string, std::uint64_t> rows[] = {
        {"", 0xEF46DB3751D8E999ULL}, {"abc", 0x44BC2CF5AD770999ULL}, {thousand, 0x4CB9A3B69CB700E1ULL}};
    for (const auto& [text, expected] : rows) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{32}, std::size_t{999}}) {
            ContentDigest digest;
            for (std::size_t at = 0; at < text.size(); at += piece)
                digest.Add(text.data() + at, std::min(piece, text.size() - at));
            EXPECT_EQ(digest.Value(), expected) << text.size() << " in pieces of " << piece;
        }
    }
}

TEST(PackageStamp, ReadsBackOnlyFromItsOwnBytes) {
    const auto bytes = EncodeStamp({0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL});
    std::vector<std::uint8_t> package(100 + kStampSize, 0xFF);
    std::copy(bytes.begin(), bytes.end(), package.end() - kStampSize);
    const auto stamp = DecodeStamp(package.data(), package.size());
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->inputs, 0x0123456789ABCDEFULL);
    EXPECT_EQ(stamp->package, 0xFEDCBA9876543210ULL);
    EXPECT_FALSE(DecodeStamp(package.data(), package.size() - 1));  // not at the end
    EXPECT_FALSE(DecodeStamp(bytes.data(), kStampSize - 1));       // too short
    package[package.size() - kStampSize + kStampVersionAt] = 2;    // a version not known
    EXPECT_FALSE(DecodeStamp(package.data(), package.size()));
}

TEST(NdsLayout, DeviceCapacityTakesTheNextSizeUpFromTheTopBit) {
    const struct {
        uint32_t used;
        uint8_t capacity;
    } cases[] = {{0, 0},         {0x9FB8, 0},    {0x1FFFC, 0},     {0x20000, 1},
                 {0x20004, 1},   {0x3FFFC, 1},   {0x40000, 2},     {0x2000000, 9},
                 {0x2000004, 9}, {0x1FFFFFC, 8}, {0x80000000, 15}, {0xFFFFFFFC, 15}};
    for (const auto& c : cases) EXPECT_EQ(DeviceCapacity(c.used), c.capacity) << std::hex << c.used;
}

TEST(NdsLayout, SectionsAreAlignedAndTheArm7NeverStartsBelow0x8000) {
    // Small ARM9: the ARM7 goes to 0x8000; an empty file shares its start with the next.
    NdsLayout a = PlanLayout(0x183, 0x6D, 0x2C, true, {2, 6, 0, 3000});
    EXPECT_EQ(a.arm9Offset, 0x200u);
    EXPECT_EQ(a.arm9Size, 0x184u);
    EXPECT_EQ(a.arm7Offset, 0x8000u);
    EXPECT_EQ(a.arm7Size, 0x70u);
    EXPECT_EQ(a.fntOffset, 0x8200u);
    EXPECT_EQ(a.fatOffset, 0x8400u);
    EXPECT_EQ(a.fatSize, 32u);
    EXPECT_EQ(a.bannerOffset, 0x8600u);
    const std::vector<std::pair<uint32_t, uint32_t>> files = {
        {0x9000, 0x9002}, {0x9200, 0x9206}, {0x9400, 0x9400}, {0x9400, 0x9FB8}};
    EXPECT_EQ(a.files, files);
    EXPECT_EQ(a.usedSize, 0x9FB8u);

    // Large ARM9: the ARM7 follows it at the next 0x200 boundary. No banner, no files.
    NdsLayout b = PlanLayout(0x9001, 4, 9, false, {});
    EXPECT_EQ(b.arm7Offset, 0x9400u);
    EXPECT_EQ(b.fntOffset, 0x9600u);
    EXPECT_EQ(b.fatOffset, 0x9800u);
    EXPECT_EQ(b.bannerOffset, 0u);
    EXPECT_EQ(b.usedSize, 0x9800u);

    // The used size is rounded up to 4 even when the last file ends unaligned.
    EXPECT_EQ(PlanLayout(0, 0, 9, false, {5}).usedSize, 0x8408u);
    EXPECT_THROW(PlanLayout(0, 0, 9, false, {0xFFFFFF00ull}), FormatError);
}

// ---------------------------------------------------------------- writer, by exact bytes

class NdsWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        arm9 = Bytes(0x10);
        for (size_t i = 0; i < arm9.size(); ++i) arm9[i] = static_cast<uint8_t>(0xA0 + i);
        arm7 = Bytes{1, 2, 3, 4, 5, 6, 7, 8};
        WriteFile(dir / "9.bin", arm9);
        WriteFile(dir / "7.bin", arm7);
        // Names whose order depends on case and a folder sorting between two files.
        WriteFile(dir / "data/B.txt", "B");
        WriteFile(dir / "data/a.txt", "aaa");
        WriteFile(dir / "data/Z/y", "yy");
        WriteFile(dir / "data/Z/sub/q", "");
        WriteFile(dir / "data/a/c", "c");
        request.output = dir / "x.nds";
        request.arm9 = dir / "9.bin";
        request.arm7 = dir / "7.bin";
        request.dataFolder = dir / "data";
        request.info = {"QLMR", "12", "Quillmere", 5};
    }

    TempDir dir;
    Bytes arm9, arm7;
    NdsRequest request;
};

TEST_F(NdsWriterTest, WritesTheHeaderFieldsAndBothCrcs) {
    WriteNds(request);
    const Bytes nds = ReadAll(request.output);
    ASSERT_EQ(nds.size(), 0x8C04u);

    Bytes expected(0x200, 0);
    PutText(expected, 0x00, "Quillmere");
    PutText(expected, 0x0C, "QLMR");
    PutText(expected, 0x10, "12");
    expected[0x14] = 0;  // 0x8C04 bytes fit the smallest card
    expected[0x1E] = 5;
    expected[0x1F] = 0x04;
    Put(expected, 0x20, {0x00, 0x02, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0x02, 0x10, 0, 0, 0});
    Put(expected, 0x30,
        {0x00, 0x80, 0, 0, 0x00, 0x80, 0x7F, 0x03, 0x00, 0x80, 0x7F, 0x03, 0x08, 0, 0, 0});
    Put(expected, 0x40, {0x00, 0x82, 0, 0, 0x44, 0, 0, 0, 0x00, 0x84, 0, 0, 0x28, 0, 0, 0});
    Put(expected, 0x60, {0x00, 0x60, 0x58, 0x00, 0xF8, 0x08, 0x18, 0x00, 0, 0, 0, 0});
    Bytes secure(0x7E00, 0);
    std::copy(arm9.begin(), arm9.end(), secure.begin());
    const uint16_t secureCrc = ReferenceCrc(secure.data(), secure.size());
    Put(expected, 0x6C,
        {static_cast<uint8_t>(secureCrc), static_cast<uint8_t>(secureCrc >> 8), 0x1E, 0x05});
    Put(expected, 0x80, {0x04, 0x8C, 0, 0, 0x00, 0x02, 0, 0});
    PutText(expected, 0xA0, "SRAM_V110");
    Put(expected, 0xAC, {'P', 'A', 'S', 'S', '0', '1', 0x96});
    const uint16_t logoCrc = ReferenceCrc(expected.data() + 0xC0, 156);
    Put(expected, 0x15C, {static_cast<uint8_t>(logoCrc), static_cast<uint8_t>(logoCrc >> 8)});
    const uint16_t headerCrc = ReferenceCrc(expected.data(), 0x15E);
    Put(expected, 0x15E, {static_cast<uint8_t>(headerCrc), static_cast<uint8_t>(headerCrc >> 8)});
    EXPECT_EQ(Bytes(nds.begin(), nds.begin() + 0x200), expected);

    // The images follow, zero-padded; nothing but zeros in the gaps.
    EXPECT_EQ(Bytes(nds.begin() + 0x200, nds.begin() + 0x210), arm9);
    EXPECT_EQ(Bytes(nds.begin() + 0x8000, nds.begin() + 0x8008), arm7);
    EXPECT_TRUE(
        std::all_of(nds.begin() + 0x210, nds.begin() + 0x8000, [](uint8_t b) { return b == 0; }));
}

TEST_F(NdsWriterTest, WritesNameAndAllocationTablesInSortedDepthFirstOrder) {
    WriteNds(request);
    const Bytes nds = ReadAll(request.output);
    // Root: files B.txt, a.txt; folders Z (F001), a (F003). Z: file y; folder sub (F002).
    const Bytes fnt = {0x20, 0, 0, 0, 0, 0, 4, 0,        // root: sub-table at 0x20, first
                                                         // file 0, 4 folders
                       0x35, 0, 0, 0, 2, 0, 0x00, 0xF0,  // Z
                       0x3E, 0, 0, 0, 3, 0, 0x01, 0xF0,  // Z/sub
                       0x41, 0, 0, 0, 4, 0, 0x00, 0xF0,  // a
                       5, 'B', '.', 't', 'x', 't', 5, 'a', '.', 't', 'x', 't', 0x81, 'Z', 0x01,
                       0xF0, 0x81, 'a', 0x03, 0xF0, 0, 1, 'y', 0x83, 's', 'u', 'b', 0x02, 0xF0, 0,
                       1, 'q', 0, 1, 'c', 0};
    EXPECT_EQ(Bytes(nds.begin() + 0x8200, nds.begin() + 0x8200 + 0x44), fnt);
    const Bytes fat = {0x00, 0x86, 0, 0, 0x01, 0x86, 0, 0,   // B.txt
                       0x00, 0x88, 0, 0, 0x03, 0x88, 0, 0,   // a.txt
                       0x00, 0x8A, 0, 0, 0x02, 0x8A, 0, 0,   // Z/y
                       0x00, 0x8C, 0, 0, 0x00, 0x8C, 0, 0,   // Z/sub/q, empty
                       0x00, 0x8C, 0, 0, 0x01, 0x8C, 0, 0};  // a/c shares the empty file's start
    EXPECT_EQ(Bytes(nds.begin() + 0x8400, nds.begin() + 0x8428), fat);
    EXPECT_EQ(nds[0x8600], 'B');
    EXPECT_EQ(std::string(nds.begin() + 0x8800, nds.begin() + 0x8803), "aaa");
    EXPECT_EQ(std::string(nds.begin() + 0x8A00, nds.begin() + 0x8A02), "yy");
    EXPECT_EQ(nds[0x8C00], 'c');
}

TEST(NdsFileSystem, EveryEntryIsPackedThoseStartingWithADotToo) {
    TempDir dir;
    WriteFile(dir / "data/.hidden", "mine");
    WriteFile(dir / "data/.git/x", "mine too");
    WriteFile(dir / "data/a", "a");
    std::vector<std::string> paths;
    for (const NdsFsFile& file : ScanFolder(dir / "data").files) paths.push_back(file.path);
    EXPECT_EQ(paths, (std::vector<std::string>{".hidden", "a", ".git/x"}));
}

TEST_F(NdsWriterTest, ReaderTakesThePackageApartAgain) {
    WriteFile(dir / "icon.bmp", EncodeBitmap(PatternIcon()));
    request.withBanner = true;
    request.icon = dir / "icon.bmp";
    request.bannerText = "Café;Line 2";
    WriteNds(request);
    const NdsPackage p = ReadNdsFile(request.output);
    EXPECT_EQ(p.title, "Quillmere");
    EXPECT_EQ(p.gameCode, "QLMR");
    EXPECT_EQ(p.makerCode, "12");
    EXPECT_EQ(p.romVersion, 5);
    EXPECT_TRUE(p.headerCrc.ok() && p.logoCrc.ok() && p.secureAreaCrc.ok());
    ASSERT_TRUE(p.hasBanner);
    EXPECT_EQ(p.banner.storedCrc, p.banner.computedCrc);
    EXPECT_EQ(p.banner.titles[3], u"Café\nLine 2");
    EXPECT_EQ(p.banner.iconIndices, PatternIcon().indices);
    EXPECT_EQ(p.totalUsedSize, p.bytes.size());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"B.txt", "B"}, {"a.txt", "aaa"}, {"Z/y", "yy"}, {"Z/sub/q", ""}, {"a/c", "c"}};
    ASSERT_EQ(p.files.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(p.files[i].id, i);
        EXPECT_EQ(p.files[i].path, expected[i].first);
        const Bytes contents = p.Contents(p.files[i]);
        EXPECT_EQ(std::string(contents.begin(), contents.end()), expected[i].second);
    }
    EXPECT_NE(DescribeNds(p).find("English title:    Café;Line 2\n"), std::string::npos);
    EXPECT_NE(DescribeNds(p).find("Header CRC:       0x"), std::string::npos);
    EXPECT_EQ(ListNdsFiles(p).substr(0, 46), "    0 0x00009000 0x00009001          1 /B.txt\n");
}

TEST_F(NdsWriterTest, BadInputsFailWithAReasonAndLeaveNoOutput) {
    WriteFile(dir / "icon.bmp", EncodeBitmap(PatternIcon()));
    Bytes truncated = EncodeBitmap(PatternIcon());
    truncated.resize(truncated.size() / 2);
    WriteFile(dir / "short.bmp", truncated);
    Picture big = PatternIcon();
    big.width = 48;
    big.height = 48;
    big.indices.assign(48 * 48, 1);
    big.pixels.assign(48 * 48, Rgb8{});
    WriteFile(dir / "big.bmp", EncodeBitmap(big));
    Picture many = PatternIcon(8);
    many.palette.resize(256);
    many.indices[100] = 16;
    WriteFile(dir / "many.bmp", EncodeBitmap(many));
    WriteFile(dir / "plain.bmp", EncodeBitmap(MakeRgbPicture(32, 32)));
    WriteFile(dir / "elf.bin", Bytes{0x7F, 'E', 'L', 'F', 1, 1, 1});
#ifndef _WIN32  // Windows has no named pipes in its file system
    mkfifo((dir / "data/pipe").c_str(), 0600);
    fs::create_directories(dir / "data2");
    mkfifo((dir / "data2/pipe").c_str(), 0600);
#endif

    const struct Case {
        const char* what;
        std::function<void(NdsRequest&)> change;
        std::string file;  // relative to dir, or "" for none expected
        std::string message;
    } cases[] = {
        {"missing icon", [&](NdsRequest& r) { r.icon = dir / "none.bmp"; }, "none.bmp",
         "no such file"},
        {"truncated icon", [&](NdsRequest& r) { r.icon = dir / "short.bmp"; }, "short.bmp",
         "truncated bitmap"},
        {"wrong size", [&](NdsRequest& r) { r.icon = dir / "big.bmp"; }, "big.bmp",
         "the icon must be 32 x 32 pixels, not 48 x 48"},
        {"17 colours", [&](NdsRequest& r) { r.icon = dir / "many.bmp"; }, "many.bmp",
         "the icon uses colour index 16; a DS icon has at most 16 colours (indices 0 to 15)"},
        {"no palette", [&](NdsRequest& r) { r.icon = dir / "plain.bmp"; }, "plain.bmp",
         "the icon must be a bitmap with a palette (1, 4 or 8 bits per pixel), not 24 bits per "
         "pixel"},
        {"text too long", [&](NdsRequest& r) { r.bannerText = std::string(120, 'x') + ";é;€;𝄞ab"; },
         "x.nds", "the banner text is 129 UTF-16 units long; at most 128 fit"},
        {"bad UTF-8", [&](NdsRequest& r) { r.bannerText = "Caf\xE9"; }, "x.nds",
         "the banner text is not valid UTF-8"},
        {"game code", [&](NdsRequest& r) { r.info.gameCode = "QLMRX"; }, "x.nds",
         "the game code must be exactly 4 characters, not 5"},
        {"maker code", [&](NdsRequest& r) { r.info.makerCode = "1"; }, "x.nds",
         "the maker code must be exactly 2 characters, not 1"},
        {"title", [&](NdsRequest& r) { r.info.title = "Quillmere DS!"; }, "x.nds",
         "the header title must be at most 12 bytes, not 13"},
        {"missing ARM9", [&](NdsRequest& r) { r.arm9 = dir / "none.bin"; }, "none.bin",
         "no such file"},
        {"ELF ARM7", [&](NdsRequest& r) { r.arm7 = dir / "elf.bin"; }, "elf.bin",
         "an ELF file; give the raw ARM binary"},
        {"missing folder", [&](NdsRequest& r) { r.dataFolder = dir / "nothing"; }, "nothing",
         "cannot read the folder: no such file"},
        {"folder is a file", [&](NdsRequest& r) { r.dataFolder = dir / "7.bin"; }, "7.bin",
         "cannot read the folder: not a folder"},
#ifndef _WIN32
        {"a pipe", [&](NdsRequest& r) { r.dataFolder = dir / "data2"; }, "data2/pipe",
         "neither a file nor a folder"},
#endif
        {"output folder missing", [&](NdsRequest& r) { r.output = dir / "out/x.nds"; }, "out/x.nds",
         "cannot write: no such folder"},
        {"output is a folder", [&](NdsRequest& r) { r.output = dir / "data"; }, "data",
         "cannot write: is a folder"},
    };
    fs::remove(dir / "data/pipe");
    for (const Case& c : cases) {
        NdsRequest r = request;
        r.withBanner = true;
        r.icon = dir / "icon.bmp";
        r.bannerText = "ok";
        c.change(r);
        try {
            WriteNds(r);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const FileError& e) {
            EXPECT_EQ(e.file(), dir / c.file) << c.what;
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
        EXPECT_FALSE(fs::exists(dir / "x.nds")) << c.what;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << c.what;
        }
    }
}

TEST_F(NdsWriterTest, AFailedRunKeepsAnEarlierPackageAndASuccessfulOneReplacesIt) {
    WriteFile(request.output, "previous package");
    NdsRequest bad = request;
    bad.arm7 = dir / "none.bin";
    EXPECT_THROW(WriteNds(bad), FileError);
    const Bytes kept = ReadAll(request.output);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous package");
    WriteNds(request);
    EXPECT_EQ(ReadAll(request.output).size(), 0x8C04u);
}

// ---------------------------------------------------------------- banner

TEST(Banner, PlacesTilesPaletteTitlesAndCrcAtTheirBytes) {
    const Bytes b = MakeBanner(PatternIcon(), "Hi;é𝄞");
    ASSERT_EQ(b.size(), 0x840u);
    EXPECT_EQ(U16(b, 0), 1);
    EXPECT_EQ(U16(b, 2), ReferenceCrc(b.data() + 0x20, 0x820));
    EXPECT_TRUE(std::all_of(b.begin() + 4, b.begin() + 0x20, [](uint8_t v) { return v == 0; }));
    // Index (x + 2y) % 16, left pixel in the low nibble, tiles row-major.
    EXPECT_EQ(b[0x20], 0x10);                 // tile 0, row 0, x 0..1
    EXPECT_EQ(b[0x23], 0x76);                 // tile 0, row 0, x 6..7
    EXPECT_EQ(b[0x24], 0x32);                 // tile 0, row 1, x 0..1
    EXPECT_EQ(b[0x20 + 32], 0x98);            // tile 1, row 0, x 8..9
    EXPECT_EQ(b[0x20 + 4 * 32], 0x10);        // tile 4 (y 8): (0 + 16) % 16
    EXPECT_EQ(b[0x20 + 15 * 32 + 31], 0xDC);  // tile 15, row 7 (y 31), x 30..31
    // Palette: BGR555 from the top 5 bits of each channel.
    EXPECT_EQ(U16(b, 0x220), 0x001F);
    EXPECT_EQ(U16(b, 0x222), 0x03E0);
    EXPECT_EQ(U16(b, 0x224), 0x7C00);
    EXPECT_EQ(U16(b, 0x226), 0x0C41);
    EXPECT_EQ(U16(b, 0x228), 0x0000);
    EXPECT_EQ(U16(b, 0x22A), 0x7FFF);
    // The same title six times: "Hi", line break, é, and a surrogate pair.
    for (size_t lang = 0; lang < 6; ++lang) {
        const size_t at = 0x240 + lang * 256;
        const std::vector<uint16_t> units = {'H', 'i', 0x0A, 0xE9, 0xD834, 0xDD1E, 0};
        for (size_t i = 0; i < units.size(); ++i)
            EXPECT_EQ(U16(b, at + 2 * i), units[i]) << lang << ":" << i;
        EXPECT_TRUE(std::all_of(b.begin() + static_cast<long>(at + 12),
                                b.begin() + static_cast<long>(at + 256),
                                [](uint8_t v) { return v == 0; }));
    }
}

TEST(Banner, TextOfExactly128UnitsFillsTheFieldWithoutTerminator) {
    const std::string text = std::string(127, 'a') + ";";
    const Bytes b = MakeBanner(PatternIcon(), text);
    EXPECT_EQ(U16(b, 0x240 + 254), 0x0A);
    EXPECT_EQ(U16(b, 0x340), 'a');  // the next language starts right after
    EXPECT_EQ(BannerTitle(std::string(64, 'x') + std::string(32, ';') +
                          "€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€€")
                  .size(),
              128u);
    const Bytes nothing = MakeBanner(PatternIcon(), "");
    EXPECT_EQ(U16(nothing, 0x240), 0);
}

TEST(Banner, PaletteShorterThan16LeavesTheRestBlackAnd1BitIconsWork) {
    Picture icon = PatternIcon(1);
    icon.palette = {{255, 255, 255}, {0, 0, 0}};
    for (auto& i : icon.indices) i = i & 1;
    const Bytes b = MakeBanner(icon, "x");
    EXPECT_EQ(U16(b, 0x220), 0x7FFF);
    for (size_t i = 1; i < 16; ++i) EXPECT_EQ(U16(b, 0x220 + 2 * i), 0) << i;
    EXPECT_EQ(DecodeBanner(b.data()).iconIndices, icon.indices);
}

TEST(Banner, IconPaletteIsReadFromWhereTheBitmapHeaderSaysItIs) {
    // The same icon with a 124-byte (version 5) info header: the palette starts at 138,
    // not at 54 as it would after the common 40-byte header.
    const Bytes plain = EncodeBitmap(PatternIcon());
    Bytes v5(plain.begin(), plain.begin() + 54);
    v5.insert(v5.end(), 84, 0);
    v5.insert(v5.end(), plain.begin() + 54, plain.end());
    Put(v5, 14, {124, 0, 0, 0});
    const uint32_t pixels = U16(plain, 10) + 84u, size = static_cast<uint32_t>(v5.size());
    Put(v5, 10, {static_cast<uint8_t>(pixels), static_cast<uint8_t>(pixels >> 8), 0, 0});
    Put(v5, 2, {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), 0, 0});
    TempDir dir;
    WriteFile(dir / "v5.bmp", v5);
    const Bytes b = MakeBanner(ReadIconFile(dir / "v5.bmp"), "x");
    EXPECT_EQ(U16(b, 0x220), 0x001F);
    EXPECT_EQ(U16(b, 0x226), 0x0C41);
    EXPECT_EQ(DecodeBanner(b.data()).iconIndices, PatternIcon().indices);
}

// ---------------------------------------------------------------- EFS patch

Bytes WithMarkerAt(size_t size, size_t at) {
    Bytes b(size, 0x55);
    const uint8_t marker[12] = {0xCE, 0x05, 0xA9, 0xBF, 0x20, 0x45,
                                0x46, 0x53, 0x73, 0x74, 0x72, 0x00};
    std::copy(marker, marker + 12, b.begin() + static_cast<long>(at));
    return b;
}

TEST(EfsPatch, FindsOnlyAlignedMarkersAndTheFirstWins) {
    Bytes b = WithMarkerAt(4096, 1002);  // not a multiple of 4
    EXPECT_FALSE(FindEfsMarker(b.data(), b.size()));
    const Bytes second = WithMarkerAt(4096, 2000);
    std::copy(second.begin() + 2000, second.begin() + 2012, b.begin() + 2000);
    std::copy(second.begin() + 2000, second.begin() + 2012, b.begin() + 3000);
    EXPECT_EQ(FindEfsMarker(b.data(), b.size()), 2000u);
    EXPECT_EQ(FindEfsMarker(b.data(), 2011), std::nullopt);
}

TEST(EfsPatch, WritesIdAndSizeAndNothingElseAndTheIdComesFromTheContent) {
    TempDir dir;
    // Marker positions around the 1 MiB scan chunk boundary as well as near the start.
    for (size_t at :
         {size_t{0x200}, size_t{(1u << 20) - 8}, size_t{(1u << 20) - 4}, size_t{1u << 20}}) {
        SCOPED_TRACE(at);
        const Bytes before = WithMarkerAt((1u << 20) + 0x1234, at);
        WriteFile(dir / "x.nds", before);
        EXPECT_EQ(PatchEfsFile(dir / "x.nds"), at);
        const Bytes patched = ReadAll(dir / "x.nds");
        Bytes expected = before;
        std::copy(patched.begin() + static_cast<long>(at) + 12,
                  patched.begin() + static_cast<long>(at) + 16,
                  expected.begin() + static_cast<long>(at) + 12);
        Put(expected, at + 16, {0x34, 0x12, 0x10, 0x00});
        EXPECT_EQ(patched, expected);

        // The same package, whatever its id field held, gets the same id; a package that
        // differs in one byte, even the last, gets another.
        Bytes stale = before;
        Put(stale, at + 12, {1, 2, 3, 4});
        WriteFile(dir / "y.nds", stale);
        PatchEfsFile(dir / "y.nds");
        EXPECT_EQ(ReadAll(dir / "y.nds"), patched);
        PatchEfsFile(dir / "y.nds");
        EXPECT_EQ(ReadAll(dir / "y.nds"), patched);
        Bytes other = before;
        other.back() ^= 1;
        WriteFile(dir / "z.nds", other);
        PatchEfsFile(dir / "z.nds");
        const Bytes otherPatched = ReadAll(dir / "z.nds");
        EXPECT_FALSE(std::equal(patched.begin() + static_cast<long>(at) + 12,
                                patched.begin() + static_cast<long>(at) + 16,
                                otherPatched.begin() + static_cast<long>(at) + 12));
    }
}

TEST(EfsPatch, FailuresLeaveTheFileUnchanged) {
    TempDir dir;
    const struct {
        Bytes content;
        std::string message;
    } cases[] = {
        {Bytes(5000, 0x11), "no EFS section found"},
        {WithMarkerAt(0x200 + 12 + 8 + 255, 0x200), "the EFS section is cut short"},
        {Bytes(), "no EFS section found"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "x.nds", c.content);
        try {
            PatchEfsFile(dir / "x.nds");
            ADD_FAILURE() << c.message;
        } catch (const FormatError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(ReadAll(dir / "x.nds"), c.content);
    }
    EXPECT_THROW(PatchEfsFile(dir / "missing.nds"), FormatError);
}

// ---------------------------------------------------------------- reader on damaged input

TEST_F(NdsWriterTest, ReaderRejectsDamagedPackagesWithAReason) {
    WriteFile(dir / "icon.bmp", EncodeBitmap(PatternIcon()));
    request.withBanner = true;
    request.icon = dir / "icon.bmp";
    request.bannerText = "t";
    WriteNds(request);
    const Bytes good = ReadAll(request.output);

    // Every prefix either parses or fails with a FormatError; none reads past its end.
    for (size_t size = 0; size < good.size(); size += (size < 0x8700 ? 0x40 : 3)) {
        try {
            ReadNds(Bytes(good.begin(), good.begin() + static_cast<long>(size)));
        } catch (const FormatError&) {
        }
    }
    const struct {
        size_t at;
        Bytes bytes;
        std::string message;
    } cases[] = {
        {0x40, {0xFF, 0xFF, 0xFF, 0x7F}, "the file name table lies outside the package"},
        {0x8206, {0x00, 0x20}, "the file name table claims 8192 folders"},
        {0x8200 + 0x3B,
         {0x01},
         "the file name table lists folder id 61441 twice"},  // Z lists itself
        {0x8200 + 0x20 + 14,
         {0x09},
         "the file name table names folder id 61449, which does not exist"},
        {0x8200 + 8 + 4, {0x30, 0x00}, "file id 48 has no entry in the file allocation table"},
        {0x8404, {0xFF, 0xFF, 0xFF, 0x00}, "the file B.txt lies outside the package"},
        {0x68, {0x00, 0x90, 0, 0}, "the banner lies outside the package"},
    };
    for (const auto& c : cases) {
        Bytes bad = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<long>(c.at));
        try {
            ReadNds(bad);
            ADD_FAILURE() << c.message;
        } catch (const FormatError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
    try {
        ReadNds(Bytes(0x1FF));
        ADD_FAILURE() << "short header accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(std::string(e.what()), "too short to be a DS program (511 bytes)");
    }
    EXPECT_TRUE(ReadNds(Bytes(0x200)).files.empty());
}

}  // namespace
}  // namespace pellix::formats
