// The five programs of a build, run in a staged folder with the build's own command lines,
// make a package that the reader takes apart into exactly the staged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/bitmap16.h"
#include "formats/bitmap_writer.h"
#include "formats/efs_patch.h"
#include "formats/file_bytes.h"
#include "gzip/gzip_member.h"
#include "formats/lz77.h"
#include "formats/nds_reader.h"
#include "support/program.h"
#include "support/scratch.h"

namespace pellix::formats {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using pellix::testing::RunProgram;

using pellix::testing::WriteBytes;
Bytes Read(const fs::path& path) {
    return ReadFileBytes(path.string());
}

class EndToEnd : public ::testing::TestWithParam<bool> {};

TEST_P(EndToEnd, StagedFilesComeBackByteForByte) {
    const bool compression = GetParam();
    const pellix::testing::TempDir scratch("pellix-e2e");
    const fs::path& bin = scratch.path();
    fs::create_directories(bin / "data");
    fs::copy_file(STANDIN_DIR "/7.bin", bin / "7.bin");
    fs::copy_file(STANDIN_DIR "/9.bin", bin / "9.bin");

    // A ROM of code-like random bytes and long runs, the default-sized border, a 4-bit icon.
    Bytes rom(300000);
    std::mt19937 gen(3);
    for (size_t i = 0; i < rom.size(); ++i)
        rom[i] = (i / 1000) % 2 ? static_cast<uint8_t>(gen()) : 0xFF;
    WriteBytes(bin / "data/game", rom);
    Picture border = MakeRgbPicture(256, 192);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x)
            border.pixels[static_cast<size_t>(y) * 256 + x] = {
                static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x ^ y)};
    WriteBitmapFile((bin / "border.bmp").string(), border);
    Picture icon = MakePalettedPicture(32, 32, 4, {});
    for (int i = 0; i < 16; ++i)
        icon.palette.push_back(
            {static_cast<uint8_t>(i * 16), 0, static_cast<uint8_t>(255 - i * 16)});
    for (size_t i = 0; i < icon.indices.size(); ++i)
        icon.indices[i] = static_cast<uint8_t>((i / 32 + i % 32) % 16);
    for (size_t i = 0; i < icon.indices.size(); ++i) icon.pixels[i] = icon.palette[icon.indices[i]];
    WriteBitmapFile((bin / "icon.bmp").string(), icon);

    // The build's steps 5 to 12, in its order and with its arguments.
    if (compression) {
        const auto gz = RunProgram(GZIP_PROGRAM, {"--best", "data/game"}, bin);
        ASSERT_EQ(gz.exitCode, 0) << gz.err;
    } else {
        fs::copy_file(bin / "data/game", bin / "data/game.gba");
        fs::remove(bin / "data/game");
    }
    auto grit = RunProgram(GRIT_PROGRAM, {"border.bmp", "-ftbin", "-fh!", "-gB16"}, bin);
    ASSERT_EQ(grit.exitCode, 0) << grit.err;
    auto crush = RunProgram(GBACRUSHER_PROGRAM, {"-l", "border.img.bin", "-o", "data/border.lz7"},
                            bin.string());
    ASSERT_EQ(crush.exitCode, 0) << crush.err;
    const Bytes mode = {uint8_t(compression ? 'P' : 'N'), uint8_t(compression ? 'C' : 'U')};
    WriteBytes(bin / "data/mode.txt", mode);
    const std::string text = "MyGame;Second line;Café";
    auto nds = RunProgram(NDSTOOL_PROGRAM,
                          {"-c", "x.nds", "-7", "7.bin", "-9", "9.bin", "-d", "data", "-g", "QLMR",
                           "12", "Quillmere", "-b", "icon.bmp", text},
                          bin.string());
    ASSERT_EQ(nds.exitCode, 0) << nds.err;
    auto efs = RunProgram(EFS_PROGRAM, {"x.nds"}, bin);
    ASSERT_EQ(efs.exitCode, 0) << efs.err;

    const NdsPackage p = ReadNdsFile((bin / "x.nds").string());
    const std::string game = compression ? "game.gz" : "game.gba";
    std::vector<std::string> staged;
    for (const auto& entry : fs::directory_iterator(bin / "data"))
        staged.push_back(entry.path().filename().string());
    std::sort(staged.begin(), staged.end());
    ASSERT_EQ(staged, (std::vector<std::string>{"border.lz7", game, "mode.txt"}));
    ASSERT_EQ(p.files.size(), staged.size());
    for (size_t i = 0; i < staged.size(); ++i) {
        EXPECT_EQ(p.files[i].path, staged[i]);
        EXPECT_EQ(p.Contents(p.files[i]), Read(bin / "data" / staged[i])) << staged[i];
    }
    if (compression) {
        const Bytes packed = p.Contents(p.files[1]);
        EXPECT_EQ(pellix::gzip::UnpackMembers(packed.data(), packed.size(), rom.size()), rom);
    } else {
        EXPECT_EQ(p.Contents(p.files[1]), rom);
    }
    EXPECT_EQ(DecompressLz77(p.Contents(p.files[0])), ToBitmap16(border));

    EXPECT_EQ(p.title, "Quillmere");
    EXPECT_EQ(p.gameCode, "QLMR");
    EXPECT_TRUE(p.headerCrc.ok() && p.logoCrc.ok());
    ASSERT_TRUE(p.hasBanner);
    EXPECT_EQ(p.banner.storedCrc, p.banner.computedCrc);
    for (const auto& title : p.banner.titles) EXPECT_EQ(title, u"MyGame\nSecond line\nCafé");
    EXPECT_EQ(p.banner.iconIndices, icon.indices);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(p.banner.palette[i].r, icon.palette[i].r & 0xF8) << i;
        EXPECT_EQ(p.banner.palette[i].b, icon.palette[i].b & 0xF8) << i;
    }

    // efs recorded an id and the package's size after the marker in the ARM9 image.
    const Bytes bytes = Read(bin / "x.nds");
    const auto marker = FindEfsMarker(bytes.data(), bytes.size());
    ASSERT_TRUE(marker);
    EXPECT_GE(*marker, p.arm9Offset);
    EXPECT_LT(*marker, p.arm9Offset + p.arm9Size);
    const auto u32 = [&](size_t at) {
        return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
               static_cast<uint32_t>(bytes[at + 3]) << 24;
    };
    EXPECT_EQ(u32(*marker + 16), bytes.size());
    EXPECT_EQ(u32(*marker + 16), p.totalUsedSize);
    fs::remove_all(bin);
}

INSTANTIATE_TEST_SUITE_P(Compression, EndToEnd, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "On" : "Off"; });

}  // namespace
}  // namespace pellix::formats
