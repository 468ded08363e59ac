// ndstool and efs as programs: command lines, messages, exit statuses, no stray output files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/bitmap_writer.h"
#include "formats/file_bytes.h"
#include "formats/nds_reader.h"
#include "support/program.h"
#include "support/scratch.h"
#include "standin_images.h"

namespace pellix::formats {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using pellix::testing::RunProgram;

using pellix::testing::WriteBytes;

Picture Icon() {
    Picture icon = MakePalettedPicture(32, 32, 4, {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}});
    for (size_t i = 0; i < icon.indices.size(); ++i) icon.indices[i] = static_cast<uint8_t>(i % 3);
    for (size_t i = 0; i < icon.indices.size(); ++i) icon.pixels[i] = icon.palette[icon.indices[i]];
    return icon;
}

class ToolsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "data");
        fs::copy_file(STANDIN_DIR "/7.bin", dir / "7.bin");
        fs::copy_file(STANDIN_DIR "/9.bin", dir / "9.bin");
        WriteBytes(dir / "data/game.gba", Bytes(1000, 0x42));
        WriteBytes(dir / "data/mode.txt", Bytes{'N', 'U'});
        WriteBitmapFile((dir / "icon.bmp").string(), Icon());
    }
    pellix::testing::RunResult Ndstool(std::vector<std::string> args) {
        return RunProgram(NDSTOOL_PROGRAM, args, dir);
    }
    std::vector<std::string> Create(const std::string& text = "Title") const {
        return {"-c", "x.nds", "-7", "7.bin",     "-9", "9.bin",    "-d", "data",
                "-g", "QLMR",  "12", "Quillmere", "-b", "icon.bmp", text};
    }

    const pellix::testing::TempDir scratch{"pellix-tools"};
    const fs::path dir = scratch.path();
};

TEST_F(ToolsTest, CommittedStandInsAreWhatTheGeneratorMakes) {
    EXPECT_EQ(ReadFileBytes(STANDIN_DIR "/7.bin"), standins::Arm7Standin());
    EXPECT_EQ(ReadFileBytes(STANDIN_DIR "/9.bin"), standins::Arm9Standin());
}

TEST_F(ToolsTest, CreatesAPackageThatEfsPatchesAndTheReadersShow) {
    const auto made = Ndstool(Create("Line 1;Line 2"));
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.err, "");
    const auto patched = RunProgram(EFS_PROGRAM, {"x.nds"}, dir);
    ASSERT_EQ(patched.exitCode, 0) << patched.err;

    const auto info = Ndstool({"-i", "x.nds"});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("Game code:        QLMR\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Header CRC:       0x"), std::string::npos);
    EXPECT_NE(info.out.find("English title:    Line 1;Line 2\n"), std::string::npos) << info.out;
    const auto list = Ndstool({"-l", "x.nds"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_NE(list.out.find(" 1000 /game.gba\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("    1 0x"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("/mode.txt\n"), std::string::npos) << list.out;

    // The id comes from the package itself: patching a copy again changes nothing.
    fs::copy_file(dir / "x.nds", dir / "y.nds");
    ASSERT_EQ(RunProgram(EFS_PROGRAM, {"y.nds"}, dir).exitCode, 0);
    EXPECT_EQ(ReadFileBytes((dir / "x.nds").string()), ReadFileBytes((dir / "y.nds").string()));
}

TEST_F(ToolsTest, LinesByLineBreaksKeepTheirSemicolons) {
    std::vector<std::string> args = Create("Teil 1; Teil 2\nZeile \xC3\x9F");
    args[12] = "-bl";
    const auto made = Ndstool(args);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const NdsPackage package = ReadNdsFile((dir / "x.nds").string());
    EXPECT_EQ(package.banner.titles[1], u"Teil 1; Teil 2\nZeile \u00DF");
}

TEST_F(ToolsTest, GameInfoArgumentsAreOptionalUntilTheNextOption) {
    ASSERT_EQ(
        Ndstool({"-c", "x.nds", "-7", "7.bin", "-9", "9.bin", "-g", "QLMR", "-b", "icon.bmp", "T"})
            .exitCode,
        0);
    NdsPackage p = ReadNdsFile((dir / "x.nds").string());
    EXPECT_EQ(p.gameCode, "QLMR");
    EXPECT_EQ(p.makerCode, "");
    EXPECT_EQ(p.title, "");
    EXPECT_TRUE(p.files.empty());
    ASSERT_EQ(
        Ndstool({"-c", "x.nds", "-9", "9.bin", "-7", "7.bin", "-g", "QLMR", "12", "Q", "0x10"})
            .exitCode,
        0);
    p = ReadNdsFile((dir / "x.nds").string());
    EXPECT_EQ(p.title, "Q");
    EXPECT_EQ(p.romVersion, 16);
    EXPECT_FALSE(p.hasBanner);
}

TEST_F(ToolsTest, FailuresPrintOneLineExitNonZeroAndLeaveNoPackage) {
    Bytes truncated = EncodeBitmap(Icon());
    truncated.resize(100);
    WriteBytes(dir / "short.bmp", truncated);
    WriteBytes(dir / "junk.nds", Bytes{1, 2, 3, 4, 5});
    const std::string usage = "usage: ndstool -c FILE.nds -9 ARM9.bin -7 ARM7.bin";
    auto with = [&](size_t at, const std::string& value) {
        std::vector<std::string> args = Create();
        args[at] = value;
        return args;
    };
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // the whole of standard error, or its start when it ends in "..."
    } cases[] = {
        {with(13, "none.bmp"), 1, "ndstool: none.bmp: no such file\n"},
        {with(13, "short.bmp"), 1, "ndstool: short.bmp: truncated bitmap..."},
        {with(14, std::string(129, 'x')), 1,
         "ndstool: x.nds: the banner text is 129 UTF-16 units long; at most 128 fit\n"},
        {with(7, "missing"), 1, "ndstool: missing: cannot read the folder: no such file\n"},
        {with(1, "out/x.nds"), 1, "ndstool: out/x.nds: cannot write: no such folder\n"},
        {with(9, "QLM"), 1, "ndstool: x.nds: the game code must be exactly 4 characters, not 3\n"},
        {{"-c", "x.nds", "-7", "7.bin", "-9", "9.bin", "-g", "QLMR", "12", "Q", "256"},
         1,
         "ndstool: x.nds: the ROM version must be a number from 0 to 255, not \"256\"\n"},
        {{"-c", "x.nds", "-7", "7.bin", "-9", "9.bin", "-x"}, 2, usage + "..."},
        {{"-c", "x.nds", "-7", "7.bin"}, 2, usage + "..."},
        {{"-c", "x.nds", "-7", "7.bin", "-9"}, 2, usage + "..."},
        {{}, 2, usage + "..."},
        {{"-l", "junk.nds"}, 1, "ndstool: junk.nds: too short to be a DS program (5 bytes)\n"},
        {{"-i", "none.nds"}, 1, "ndstool: none.nds: no such file\n"},
    };
    for (const auto& c : cases) {
        const auto result = Ndstool(c.args);
        const std::string where = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(result.exitCode, c.exitCode) << where;
        if (c.err.size() > 3 && c.err.compare(c.err.size() - 3, 3, "...") == 0) {
            EXPECT_EQ(result.err.rfind(c.err.substr(0, c.err.size() - 3), 0), 0u) << result.err;
        } else {
            EXPECT_EQ(result.err, c.err);
        }
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_FALSE(fs::exists(dir / "x.nds")) << where;
        for (const auto& entry : fs::directory_iterator(dir)) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << where;
        }
    }
}

TEST_F(ToolsTest, EfsWithoutASectionSaysSoAndChangesNothing) {
    ASSERT_EQ(Ndstool(Create()).exitCode, 0);
    const auto noSection = RunProgram(EFS_PROGRAM, {"7.bin"}, dir);
    EXPECT_EQ(noSection.exitCode, 1);
    EXPECT_EQ(noSection.err, "efs: 7.bin: no EFS section found\n");
    EXPECT_EQ(ReadFileBytes((dir / "7.bin").string()), standins::Arm7Standin());
    const auto missing = RunProgram(EFS_PROGRAM, {"none.nds"}, dir);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "efs: none.nds: no such file\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-x", "x.nds"}, {"a.nds", "b.nds"}}) {
        const auto usage = RunProgram(EFS_PROGRAM, args, dir);
        EXPECT_EQ(usage.exitCode, 2);
        EXPECT_EQ(usage.err, "usage: efs FILE.nds\n");
    }
}

}  // namespace
}  // namespace pellix::formats
