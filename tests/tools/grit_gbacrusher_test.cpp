// grit and gbacrusher as the build runs them: outputs, messages, exit codes, no partial files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "formats/bitmap_writer.h"
#include "formats/lz77.h"
#include "support/pictures.h"
#include "support/program.h"
#include "support/scratch.h"

namespace pellix::formats {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using pellix::testing::RunProgram;

const std::string kGritUsage = "usage: grit PICTURE -ftbin -fh! -gB16 [-gb]\n";
const std::string kCrusherUsage = "usage: gbacrusher -l INPUT -o OUTPUT\n";

class ProgramTest : public ::testing::Test {
  protected:
    void Write(const std::string& name, const Bytes& bytes) {
        fs::create_directories((dir_ / name).parent_path());
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }

    Bytes Read(const std::string& name) {
        std::ifstream file(dir_ / name, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }

    // Every file and folder below the scratch folder, as relative paths.
    std::set<std::string> Listing() {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir_))
            names.insert(fs::relative(entry.path(), dir_).generic_string());
        return names;
    }

    const pellix::testing::TempDir scratch_{"pellix-tools"};
    const fs::path dir_ = scratch_.path();
};

// A 3 x 2 picture and its 16-bit form: three pixels and one of padding per row.
Picture SmallPicture() {
    Picture picture = MakeRgbPicture(3, 2);
    picture.pixels = {{248, 0, 0}, {0, 248, 0}, {0, 0, 248}, {255, 255, 255}, {8, 16, 24}, {}};
    return picture;
}
const Bytes kSmall16 = {0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0, 0,
                        0xFF, 0x7F, 0x41, 0x0C, 0x00, 0x00, 0, 0};

Bytes SmallPng() {
    const Bytes rgb = {248, 0, 0, 0, 248, 0, 0, 0, 248, 255, 255, 255, 8, 16, 24, 0, 0, 0};
    return pellix::testing::EncodePng(3, 2, 3, rgb);
}

TEST_F(ProgramTest, GritWritesTheStemDotImgBinInTheCurrentFolder) {
    Write("pics/border.bmp", EncodeBitmap(SmallPicture()));
    const auto run =
        RunProgram(GRIT_PROGRAM, {"pics/border.bmp", "-ftbin", "-fh!", "-gB16"}, dir_);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err,
              "grit: pics/border.bmp: warning: the picture is 3 x 2 pixels, not 256 x 192\n");
    EXPECT_EQ(Read("border.img.bin"), kSmall16);
    EXPECT_EQ(Listing(), (std::set<std::string>{"pics", "pics/border.bmp", "border.img.bin"}));

    // Newer command lines add -gb; a PNG is read by its content, whatever its name.
    Write("art.bmp", SmallPng());
    const auto png =
        RunProgram(GRIT_PROGRAM, {"art.bmp", "-ftbin", "-fh!", "-gB16", "-gb"}, dir_);
    EXPECT_EQ(png.exitCode, 0);
    EXPECT_EQ(Read("art.img.bin"), kSmall16);
}

TEST_F(ProgramTest, GritConvertsAScreenSizedBorderSilently) {
    Write("border.bmp", EncodeBitmap(MakeRgbPicture(256, 192, {255, 0, 0}), true));
    const auto run =
        RunProgram(GRIT_PROGRAM, {"border.bmp", "-ftbin", "-fh!", "-gB16"}, dir_);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
    const Bytes pixels = Read("border.img.bin");
    ASSERT_EQ(pixels.size(), 256u * 192u * 2u);
    EXPECT_EQ(pixels[0], 0x1F);
    EXPECT_EQ(pixels.back(), 0x00);
}

TEST_F(ProgramTest, GritFailuresLeaveNoOutputAndKeepAnOldOne) {
    const Bytes whole = EncodeBitmap(SmallPicture());
    Write("cut.bmp", Bytes(whole.begin(), whole.begin() + 60));
    Write("notes.bmp", {'h', 'i'});
    Bytes png = SmallPng();
    png.resize(png.size() / 2);
    Write("bad.png", png);
    Write("cut.img.bin", {'o', 'l', 'd'});

    const struct {
        const char* input;
        std::string message;
    } cases[] = {
        {"nothere.bmp", "grit: nothere.bmp: no such file\n"},
        {"cut.bmp", "grit: cut.bmp: truncated bitmap: the pixel data ends early\n"},
        {"notes.bmp", "grit: notes.bmp: not a bitmap, PNG, JPEG or GIF picture\n"},
        {"bad.png", "grit: bad.png: truncated PNG picture: it ends before its end chunk\n"},
    };
    const std::set<std::string> before = Listing();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const auto run =
            RunProgram(GRIT_PROGRAM, {c.input, "-ftbin", "-fh!", "-gB16"}, dir_);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
    EXPECT_EQ(Listing(), before);
    EXPECT_EQ(Read("cut.img.bin"), (Bytes{'o', 'l', 'd'}));
}

TEST_F(ProgramTest, GritReportsAnOutputItCannotWrite) {
    Write("border.bmp", EncodeBitmap(MakeRgbPicture(256, 192)));
    fs::create_directory(dir_ / "border.img.bin");
    const std::set<std::string> before = Listing();
    const auto run =
        RunProgram(GRIT_PROGRAM, {"border.bmp", "-ftbin", "-fh!", "-gB16"}, dir_);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "grit: border.img.bin: cannot write: it is a folder\n");
    EXPECT_EQ(Listing(), before);  // the temporary file is gone too
}

TEST_F(ProgramTest, GritRejectsOtherCommandLines) {
    Write("border.bmp", EncodeBitmap(MakeRgbPicture(256, 192)));
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"border.bmp"},
        {"border.bmp", "-ftbin", "-fh!"},
        {"border.bmp", "-ftbin", "-fh!", "-gB16", "-pS"},
        {"border.bmp", "other.bmp", "-ftbin", "-fh!", "-gB16"},
        {"border.bmp", "-ftc", "-fh!", "-gB16"},
    };
    for (const auto& args : lines) {
        const auto run = RunProgram(GRIT_PROGRAM, args, dir_);
        EXPECT_EQ(run.exitCode, 2);
        ASSERT_GE(run.err.size(), kGritUsage.size());
        EXPECT_EQ(run.err.substr(run.err.size() - kGritUsage.size()), kGritUsage);
    }
    EXPECT_FALSE(fs::exists(dir_ / "border.img.bin"));
}

TEST_F(ProgramTest, GbacrusherCompressesWhatTheDecompressorRestores) {
    Bytes input(96 * 1024);
    std::mt19937 rng(4);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = static_cast<uint8_t>(i % 512 < 256 ? i / 97 : rng() % 4);
    Write("border.img.bin", input);
    fs::create_directory(dir_ / "data");
    const auto run = RunProgram(GBACRUSHER_PROGRAM,
                                {"-l", "border.img.bin", "-o", "data/border.lz7"}, dir_);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    const Bytes packed = Read("data/border.lz7");
    EXPECT_LT(packed.size(), input.size() / 2);
    EXPECT_EQ(DecompressLz77(packed), input);
    EXPECT_EQ(Listing(), (std::set<std::string>{"border.img.bin", "data", "data/border.lz7"}));
}

TEST_F(ProgramTest, GbacrusherFailuresAndCommandLines) {
    Write("in.bin", {1, 2, 3, 4});
    Write("big.bin", Bytes(1u << 24, 0));
    fs::create_directory(dir_ / "taken.lz7");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"-l", "missing.bin", "-o", "out.lz7"}, 1, "gbacrusher: missing.bin: no such file\n"},
        {{"-l", "in.bin", "-o", "nodir/out.lz7"},
         1,
         "gbacrusher: nodir/out.lz7: cannot write: no such folder\n"},
        {{"-l", "in.bin", "-o", "taken.lz7"},
         1,
         "gbacrusher: taken.lz7: cannot write: it is a folder\n"},
        {{"-l", "big.bin", "-o", "out.lz7"},
         1,
         "gbacrusher: big.bin: too large: 16777216 bytes, at most 16777215\n"},
        {{"in.bin", "-o", "out.lz7"}, 2, kCrusherUsage},
        {{"-l", "in.bin"}, 2, kCrusherUsage},
        {{"-l", "in.bin", "-o"}, 2, kCrusherUsage},
        {{"-l", "in.bin", "-o", "out.lz7", "-h"}, 2, kCrusherUsage},
        {{"-l", "in.bin", "more.bin", "-o", "out.lz7"}, 2, kCrusherUsage},
    };
    const std::set<std::string> before = Listing();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
        const auto run = RunProgram(GBACRUSHER_PROGRAM, c.args, dir_);
        EXPECT_EQ(run.exitCode, c.exitCode);
        ASSERT_GE(run.err.size(), c.message.size());
        EXPECT_EQ(run.err.substr(run.err.size() - c.message.size()), c.message);
    }
    EXPECT_EQ(Listing(), before);
}

}  // namespace
}  // namespace pellix::formats
