// Tests of the package build against the fake tools in a temporary installation.
#include "builder/build_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "builder/build_checks.h"
#include "builder/ds_inputs.h"
#include "builder/staging_files.h"
#include "formats/bitmap_writer.h"
#include "system/command_line.h"
#include "system/platform.h"
#include "test_support.h"

namespace fs = std::filesystem;
using pellix::BuildOutcome;
using pellix::BuildResult;
using pellix::test::ReadFile;
using pellix::test::ReadPackageBody;
using pellix::test::ReadToolLog;
using pellix::test::TempDir;
using pellix::test::WriteFile;

namespace {

#ifdef _WIN32
const std::string kSep = "\\";
const std::string kExe = ".exe";
#else
const std::string kSep = "/";
const std::string kExe = "";
#endif

const char kDefaultPackage[] =
    "border.lz7 21 LZ:IMG:DEFAULT BORDER\n"
    "game.gz 12 GZ:ROM BYTES\n"
    "mode.txt 2 PC\n";

// Acts out a disk that fills up while a copy whose destination name holds g_fullDiskAt
// is written: half the bytes land, then the system's "disk full". Other copies are real.
std::string g_fullDiskAt;
pellix::files::CopyBytesFunction g_realCopy = nullptr;

std::error_code FullDiskCopy(const fs::path& from, const fs::path& to, bool exclusive) {
    if (g_fullDiskAt.empty() || to.u8string().find(g_fullDiskAt) == std::string::npos)
        return g_realCopy(from, to, exclusive);
    const std::string bytes = ReadFile(from);
    WriteFile(to, bytes.substr(0, bytes.size() / 2));
#ifdef _WIN32
    return {112, std::system_category()};  // ERROR_DISK_FULL
#else
    return std::make_error_code(std::errc::no_space_on_device);
#endif
}

// The names directly in `dir`, sorted.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

class Pipeline : public ::testing::Test {
  protected:
    void SetUp() override { Install(root_.path() / "first"); }

    // Lays out a fresh installation, ROM folder, temporary folder and request below `base`.
    void Install(const fs::path& base) {
        base_ = base;
        commands_.clear();
        app_ = base_ / "My Tools" / "pellix";
        bin_ = app_ / "bin";
        temp_ = base_ / "temp";
        fs::create_directories(bin_ / "data");
        fs::create_directories(app_ / "gfx");
        fs::create_directories(base_ / "my roms");
        fs::create_directories(temp_);
        pellix::test::InstallFakeTools(bin_);
        WriteFile(bin_ / "tool-log.txt", "");
        WriteFile(bin_ / "7.bin", "ARM7");
        WriteFile(bin_ / "9.bin", "ARM9");
        WriteFile(app_ / "gfx" / "icon.bmp", "DEFAULT ICON");
        WriteFile(app_ / "gfx" / "border.bmp", "DEFAULT BORDER");
        romFile_ = base_ / "my roms" / "My Game.gba";
        WriteFile(romFile_, "ROM BYTES");
        request_ = pellix::BuildRequest{};
        request_.rom = romFile_.u8string();
        request_.outputFolder = (base_ / "my roms").u8string() + kSep;
        request_.titles[0] = "My Game";
        binBefore_ = Names(bin_);
    }
    void TearDown() override {
        pellix::files::SetCopyBytes(nullptr);
        g_fullDiskAt.clear();
    }

    // Runs a build through the real tool runner, noting each command line and working
    // folder and letting a test act while a given program runs.
    BuildResult Build() {
        return pellix::Build(
            request_, app_.u8string(),
            [this](const std::string& line, const std::string& dir) {
                commands_.push_back(line);
                work_ = dir;
                if (duringTool_) duringTool_(ToolOf(line), dir);
                return pellix::modShellWait::RunAndWait(line, dir);
            },
            temp_.u8string());
    }

    std::string ToolOf(const std::string& line) const {
        for (const char* name : {"gzip", "grit", "gbacrusher", "ndstool", "efs"})
            if (line.rfind("\"" + Bin(name + kExe) + "\"", 0) == 0) return name;
        return "?";
    }
    std::string Bin(const std::string& relative) const {
        return bin_.u8string() + kSep + relative;
    }
    fs::path Delivered() const { return base_ / "my roms" / "My Game.nds"; }
    std::vector<std::string> ToolsRun() const {
        std::vector<std::string> names;
        for (const auto& call : ReadToolLog(bin_)) names.push_back(call[0]);
        return names;
    }
    // Nothing of a build is left: no working folder, no lock, nothing new in bin.
    void ExpectNothingLeft() const {
        EXPECT_TRUE(fs::is_empty(temp_)) << Names(temp_).front();
        EXPECT_EQ(Names(bin_), binBefore_);
    }

    TempDir root_{"pellix-pipeline"};
    fs::path base_, app_, bin_, temp_, romFile_;
    std::vector<std::string> binBefore_;
    pellix::BuildRequest request_;
    std::vector<std::string> commands_;
    std::string work_;  // the working folder of the last program run
    std::function<void(const std::string& tool, const std::string& dir)> duringTool_;
};

TEST_F(Pipeline, ABuildRunsTheFiveProgramsInAFolderOfItsOwnAndDeliversThePackage) {
    // A file of the user's that looks like a temporary name is none of the build's business.
    WriteFile(Delivered().string() + ".pellix-partial", "USER FILE");
    WriteFile(bin_ / "data" / "readme.txt", "KEEP");
    const fs::path before = fs::current_path();
    const BuildResult result = Build();
    EXPECT_EQ(result.kind, BuildOutcome::Delivered) << result.message;
    EXPECT_EQ(result.message, "Complete!");
    EXPECT_EQ(result.package, Delivered().u8string());
    const std::string q = "\"";
    const std::vector<std::string> expected = {
        q + Bin("gzip" + kExe) + q + " --best data" + kSep + "game",
        q + Bin("grit" + kExe) + q + " border.bmp -ftbin -fh! -gB16",
        q + Bin("gbacrusher" + kExe) + q + " -l border.img.bin -o data" + kSep + "border.lz7",
        q + Bin("ndstool" + kExe) + q +
            R"( -c x.nds -7 7.bin -9 9.bin -d data -g "QLMR" "12" "Quillmere" -b icon.bmp "My Game")",
        q + Bin("efs" + kExe) + q + " x.nds",
    };
    EXPECT_EQ(commands_, expected);
    // Every program ran in the private folder below the temporary folder, never in bin.
    const auto calls = ReadToolLog(bin_);
    ASSERT_EQ(calls.size(), 5u);
    for (const auto& call : calls) {
        EXPECT_EQ(fs::path(call.back()).parent_path(), fs::canonical(temp_));
        EXPECT_EQ(fs::path(call.back()), fs::path(calls[0].back()));
    }
    EXPECT_EQ(ReadPackageBody(Delivered()), std::string(kDefaultPackage) + "readme.txt 4 KEEP\n");
    EXPECT_EQ(ReadFile(Delivered().string() + ".pellix-partial"), "USER FILE");
    EXPECT_EQ(Names(base_ / "my roms"), (std::vector<std::string>{"My Game.gba", "My Game.nds",
                                                                  "My Game.nds.pellix-partial"}));
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(ReadFile(bin_ / "data" / "readme.txt"), "KEEP");
    ExpectNothingLeft();
}

TEST_F(Pipeline, AWarningOfGzipIsNoFailureButAnErrorIs) {
    // gzip's status 2 is a warning (a file time before 1970, say); its output is whole.
    WriteFile(bin_ / "warn-gzip", "2 gzip: data/game: file timestamp out of range");
    EXPECT_EQ(Build().kind, BuildOutcome::Delivered);
    fs::remove(Delivered());
    WriteFile(bin_ / "fail-gzip", "2 gzip: data/game: unexpected end of file");
    EXPECT_EQ(Build().kind, BuildOutcome::Failed);
    fs::remove(bin_ / "warn-gzip");
    fs::remove(bin_ / "fail-gzip");
    ExpectNothingLeft();
}

TEST_F(Pipeline, TheModeFileAndTheRomFollowTheRequest) {
    struct Case {
        bool psram, compression;
        const char* mode;
        const char* game;
    };
    const Case cases[] = {
        {true, true, "PC", "game.gz 12 GZ:ROM BYTES"},
        {true, false, "PU", "game.gba 9 ROM BYTES"},
        {false, true, "NC", "game.gz 12 GZ:ROM BYTES"},
        {false, false, "NU", "game.gba 9 ROM BYTES"},
    };
    for (const auto& c : cases) {
        request_.psram = c.psram;
        request_.compression = c.compression;
        const BuildResult result = Build();
        ASSERT_EQ(result.kind, BuildOutcome::Delivered) << result.message;
        const std::string package = ReadFile(Delivered());
        EXPECT_NE(package.find(std::string("mode.txt 2 ") + c.mode + "\n"), std::string::npos)
            << package;
        EXPECT_NE(package.find(c.game), std::string::npos) << package;
    }
    ExpectNothingLeft();
}

TEST_F(Pipeline, BannerLinesAndTheirArgumentsTable) {
    struct Case {
        const char* l1;
        const char* l2;
        const char* l3;
        std::string arguments;  // after -b or -bl
    };
    const Case cases[] = {
        {"", "Two", "Three", R"(-b icon.bmp "Pellix")"},
        {"   ", "Two", "Three", R"(-b icon.bmp "Pellix")"},
        {"One", "", "Three", R"(-b icon.bmp "One")"},
        {"One", "  ", "Three", R"(-b icon.bmp "One")"},
        {"One", "Two", "", R"(-b icon.bmp "One;Two")"},
        {"One", "Two", "Three", R"(-b icon.bmp "One;Two;Three")"},
        {"\t", "", "", "-b icon.bmp \"\t\""},
        {"  One", " Two ", "Three  ", R"(-b icon.bmp "  One; Two ;Three  ")"},
        // A ';' typed inside a line stays in it.
        {"Teil 1; Teil 2", "Zeile", "", "-bl icon.bmp \"Teil 1; Teil 2\nZeile\""},
        {"semi;colon", "", "", "-bl icon.bmp \"semi;colon\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pellix::BannerArguments(pellix::BannerLines(c.l1, c.l2, c.l3)), c.arguments)
            << c.l1 << "|" << c.l2;
    }
}

TEST_F(Pipeline, ATitleWithQuotesAndSemicolonsArrivesIntact) {
    request_.titles[0] = R"(The "Best" Game\)";
    request_.titles[1] = "part 2; more";
    ASSERT_EQ(Build().kind, BuildOutcome::Delivered);
    ASSERT_EQ(commands_.size(), 5u);
    const std::vector<std::string> ndstool = pellix::SplitCommandLine(commands_[3]);
    ASSERT_EQ(ndstool.size(), 16u);  // the program and 15 arguments
    EXPECT_EQ(ndstool[13], "-bl");
    EXPECT_EQ(ndstool[15], "The \"Best\" Game\\\npart 2; more");
}

TEST_F(Pipeline, OutputPathTable) {
    struct Case {
        std::string folder, rom, onWindows, elsewhere;  // elsewhere "\\" is part of a name
    };
    const Case cases[] = {
        {R"(C:\out\)", R"(C:\roms\MyGame.GBA)", R"(C:\out\MyGame.nds)",
         R"(C:\out\/C:\roms\MyGame.nds)"},
        {R"(E:\out)", "D:/x/Game.gba", R"(E:\out\Game.nds)", R"(E:\out/Game.nds)"},
        {"C:/out/", "D:/x/Game.gba", "C:/out/Game.nds", "C:/out/Game.nds"},
        {"/home/ana/out", "/roms/Game.gba", "/home/ana/out" + kSep + "Game.nds",
         "/home/ana/out/Game.nds"},
        {"", "D:/x/Game.gba", "Game.nds", "Game.nds"},
        {"E:/out/", "D:/x/game.bin", "E:/out/game.bin.nds", "E:/out/game.bin.nds"},
        {"out", R"(a\x.gba)", R"(out\x.nds)", R"(out/a\x.nds)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pellix::OutputPath(c.folder, c.rom),
                  pellix::os::kWindows ? c.onWindows : c.elsewhere);
}

TEST_F(Pipeline, AnEmptyOutputFolderDeliversIntoBin) {
    request_.outputFolder = "";
    const BuildResult result = Build();
    ASSERT_EQ(result.kind, BuildOutcome::Delivered) << result.message;
    EXPECT_TRUE(fs::exists(bin_ / "My Game.nds"));
}

TEST_F(Pipeline, CustomPicturesCountWhenTheFileIsThere) {
    // Pictures the DS takes as they are, so they reach the programs byte for byte.
    namespace formats = pellix::formats;
    const auto icon = formats::EncodeBitmap(
        formats::MakePalettedPicture(32, 32, 4, std::vector<formats::Rgb8>(16)));
    const auto border = formats::EncodeBitmap(formats::MakeRgbPicture(256, 192, {1, 2, 3}));
    WriteFile(base_ / "my icon.bmp", std::string(icon.begin(), icon.end()));
    WriteFile(base_ / "my border.bmp", std::string(border.begin(), border.end()));
    struct Case {
        std::string icon, border;
        std::string stagedIcon, stagedBorder;
    };
    const Case cases[] = {
        {(base_ / "my icon.bmp").u8string(), (base_ / "my border.bmp").u8string(),
         std::string(icon.begin(), icon.end()), std::string(border.begin(), border.end())},
        {"", "", "DEFAULT ICON", "DEFAULT BORDER"},
        {(base_ / "no icon.bmp").u8string(), (base_ / "none.bmp").u8string(), "DEFAULT ICON",
         "DEFAULT BORDER"},
    };
    std::string stagedIcon, stagedBorder;
    duringTool_ = [&](const std::string& tool, const std::string& dir) {
        if (tool == "ndstool") stagedIcon = ReadFile(fs::u8path(dir) / "icon.bmp");
        if (tool == "grit") stagedBorder = ReadFile(fs::u8path(dir) / "border.bmp");
    };
    for (const auto& c : cases) {
        request_.icon = c.icon;
        request_.border = c.border;
        ASSERT_EQ(Build().kind, BuildOutcome::Delivered);
        EXPECT_EQ(stagedIcon, c.stagedIcon);
        EXPECT_EQ(stagedBorder, c.stagedBorder);
    }
}

TEST_F(Pipeline, ARelativeCustomPictureIsFoundInTheCurrentFolder) {
    WriteFile(base_ / "my border.bmp", "CUSTOM BORDER");
    const fs::path before = fs::current_path();
    fs::current_path(base_);
    request_.border = "my border.bmp";
    const BuildResult result = Build();
    fs::current_path(before);
    // Found, and judged: it is no picture.
    EXPECT_EQ(result.reason, "cannot use " + (base_ / "my border.bmp").u8string() +
                                 " as border: not a bitmap, PNG, JPEG or GIF picture");
}

TEST_F(Pipeline, EveryFileOfBinDataIsPackedButOurOwnLeftovers) {
    // What our gzip or another of our writers stopped by a signal left in the staging
    // folder is ours, not the user's; a file whose name starts with a dot is the user's.
    const std::map<std::string, std::string> left = {
        {"game.gz.a1B2c3D4.tmp", "6 MB OF ANOTHER ROM"},
        {"border.lz7.0badf00d.tmp", "STALE"},
        {".px0badf00d", "PART OF A PACKED ROM"}};
    for (const auto& [name, bytes] : left) WriteFile(bin_ / "data" / name, bytes);
    WriteFile(bin_ / "data" / "readme.txt", "KEEP");
    WriteFile(bin_ / "data" / ".settings", "MINE");
    WriteFile(bin_ / "data" / "game.txt", "MINE TOO");
    const BuildResult result = Build();
    ASSERT_EQ(result.kind, BuildOutcome::Delivered) << result.message;
    EXPECT_EQ(ReadPackageBody(Delivered()),
              ".settings 4 MINE\n"
              "border.lz7 21 LZ:IMG:DEFAULT BORDER\n"
              "game.gz 12 GZ:ROM BYTES\n"
              "game.txt 8 MINE TOO\n"
              "mode.txt 2 PC\n"
              "readme.txt 4 KEEP\n");
    for (const auto& [name, bytes] : left) EXPECT_EQ(ReadFile(bin_ / "data" / name), bytes);
}

TEST_F(Pipeline, AFailureStopsTheBuildCleansUpAndSaysWhy) {
    struct FailureCase {
        const char* name;
        std::function<void()> arrange;
        std::vector<std::string> toolsRun;
        std::string message;  // with {bin}, {work}, {app}, {rom}, {root} and {out} for paths
    };
    const auto control = [this](const char* file, const char* line) {
        return [=] { WriteFile(bin_ / file, line); };
    };
    const std::vector<FailureCase> cases = {
        {"gzip fails",
         control("fail-gzip", "1 gzip: data/game: unexpected end of file"),
         {"gzip"},
         "gzip failed (exit status 1).\ngzip: data/game: unexpected end of file"},
        {"gzip writes nothing",
         control("skip-gzip", ""),
         {"gzip"},
         "gzip ended without leaving {work}/data/game.gz."},
        {"gzip missing", [&] { fs::remove(bin_ / ("gzip" + kExe)); }, {}, "cannot start gzip: "},
        {"grit fails",
         control("fail-grit", "2 grit: border.bmp: not a bitmap or PNG picture"),
         {"gzip", "grit"},
         "grit failed (exit status 2).\ngrit: border.bmp: not a bitmap or PNG picture"},
        {"gbacrusher writes nothing",
         control("skip-gbacrusher", ""),
         {"gzip", "grit", "gbacrusher"},
         "gbacrusher ended without leaving {work}/data/border.lz7."},
        {"ndstool writes nothing",
         control("skip-ndstool", ""),
         {"gzip", "grit", "gbacrusher", "ndstool"},
         "ndstool ended without leaving {work}/x.nds."},
        {"efs fails",
         control("fail-efs", "1 efs: x.nds: no EFS section found"),
         {"gzip", "grit", "gbacrusher", "ndstool", "efs"},
         "efs failed (exit status 1).\nefs: x.nds: no EFS section found"},
        {"disk full staging the ROM",
         [] { g_fullDiskAt = "game"; },
         {},
         "cannot copy the ROM {rom} to {work}/data/game: the disk holding {work}/data is full"},
        {"disk full delivering the package",
         [] { g_fullDiskAt = "my roms" + kSep + "."; },
         {"gzip", "grit", "gbacrusher", "ndstool", "efs"},
         "cannot copy the package {work}/x.nds to {out}/My Game.nds: the disk holding {out} is "
         "full"},
        {"staging folder missing",
         [&] { fs::remove_all(bin_ / "data"); },
         {},
         "cannot read the staging folder {bin}/data: it does not exist; the installation is "
         "incomplete"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Install(root_.path() / c.name);
        WriteFile(Delivered(), "EARLIER PACKAGE");
        g_realCopy = pellix::files::SetCopyBytes(&FullDiskCopy);
        work_.clear();
        c.arrange();
        binBefore_ = Names(bin_);
        const BuildResult result = Build();
        pellix::files::SetCopyBytes(g_realCopy);
        g_fullDiskAt.clear();
        EXPECT_EQ(result.kind, BuildOutcome::Failed);
        EXPECT_EQ(ToolsRun(), c.toolsRun);
        std::string message = "The build stopped: " + c.message;
        // The table writes the paths after a placeholder with "/"; the build writes them with
        // the platform's separator. (A program's own message keeps what the program wrote.)
        for (std::size_t at = message.find('}'); at != std::string::npos;
             at = message.find('}', at + 1))
            for (std::size_t i = at + 1;
                 i < message.size() && message[i] != ' ' && message[i] != ':'; ++i)
                if (message[i] == '/') message[i] = kSep[0];
        std::string work = work_;
        if (work.empty()) {  // no program ran: the working folder is named in the message
            const std::string mark = temp_.u8string() + kSep + "pellix-build-";
            const std::size_t at = result.message.find(mark);
            if (at != std::string::npos) work = result.message.substr(at, mark.size() + 8);
        }
        const std::map<std::string, std::string> vars = {
            {"{bin}", bin_.u8string()},   {"{app}", app_.u8string()}, {"{rom}", romFile_.u8string()},
            {"{root}", base_.u8string()}, {"{work}", work},
            {"{out}", (base_ / "my roms").u8string()}};
        for (const auto& [key, value] : vars)
            for (std::size_t at; (at = message.find(key)) != std::string::npos;)
                message.replace(at, key.size(), value);
        if (c.message.back() == ' ') {
            EXPECT_EQ(result.message.rfind(message, 0), 0u) << result.message;
        } else {
            EXPECT_EQ(result.message, message);
            EXPECT_EQ(result.reason, message.substr(std::string("The build stopped: ").size()));
        }
        EXPECT_EQ(ReadFile(Delivered()), "EARLIER PACKAGE");
        for (const std::string& name : Names(base_ / "my roms"))  // no temporary file left
            EXPECT_TRUE(name == "My Game.gba" || name == "My Game.nds") << name;
        ExpectNothingLeft();
    }
}

// Every refusal of the checks before a build, word for word: it names the user's own file
// or line, and comes before any program runs or anything is written.
TEST_F(Pipeline, RequestsThatCannotBeBuiltAreRefusedWithTheirReason) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string message;  // after "The build did not start: ", with {root}, {bin}, {app}
    };
    const auto rom = [this](const char* name, std::uintmax_t size) {
        const fs::path path = base_ / "my roms" / name;
        WriteFile(path, "");
        fs::resize_file(path, size);
        request_.rom = path.u8string();
    };
    const auto output = [this](const fs::path& folder) {
        request_.outputFolder = folder.u8string();
    };
    const std::string staging =
        ", whose whole content goes into every package. Choose a folder outside it.";
    const std::string longLine = std::string(120, 'a') + "\xF0\x9F\x8E\xAE";  // 122 units
    // The user's own folder: its data is packed into every package as well.
    const fs::path user = root_.path() / "user";
    const pellix::testing::ScopedEnvironment userEnv(
        pellix::os::kWindows ? "LOCALAPPDATA" : "XDG_DATA_HOME", user.u8string());
    const fs::path userData = fs::u8path(pellix::UserFolder()) / "data";
    const std::vector<Case> cases = {
        {"no ROM", [&] { request_.rom = ""; }, ""},
        {"a ROM not found", [&] { request_.rom = (base_ / "Mein Spiel .gba").u8string(); },
         "the ROM {root}/Mein Spiel .gba was not found"},
        {"a folder as ROM", [&] { request_.rom = (base_ / "my roms").u8string(); },
         "the ROM {root}/my roms is a folder, not a file"},
        {"an empty ROM", [&] { rom("empty.gba", 0); }, "the ROM {roms}/empty.gba is empty"},
        {"a ROM over 32 MiB", [&] { rom("b.gba", (32u << 20) + 1); },
         "the ROM {roms}/b.gba is larger than 32 MiB, the most a GBA ROM can be"},
        {"an output folder not there", [&] { output(base_ / "gone"); },
         "the output folder {root}/gone does not exist"},
        {"into bin/data", [&] { output(bin_ / "data"); },
         "the output file {bin}/data/My Game.nds is in the staging folder {bin}/data" + staging},
        {"bin/data by a relative name", [&] { request_.outputFolder = "data"; },
         "the output file {bin}/data/My Game.nds is in the staging folder {bin}/data" + staging},
        {"below bin/data by a roundabout name", [&] { output(bin_ / "data" / ".." / "data"); },
         "the output file {bin}/data/../data/My Game.nds is in the staging folder {bin}/data" +
             staging},
        {"the user's data folder, before it exists", [&] { output(userData); },
         "the output file {user}/data/My Game.nds is in the staging folder {user}/data" + staging},
        {"a name of the build's in the user's data",
         [&] {
             fs::create_directories(userData);
             WriteFile(userData / "game.gz", "");
         },
         "the staging folder {user}/data holds game.gz, a name the build needs for a file of its "
         "own. Rename or move it."},
        {"a name in both data folders",
         [&] {
             fs::create_directories(userData);
             WriteFile(userData / "cheats.txt", "mine");
             WriteFile(bin_ / "data" / "cheats.txt", "installed");
         },
         "cannot pack {user}/data/cheats.txt: {bin}/data/cheats.txt would be packed under the same "
         "name; rename or remove one of them"},
        {"bin named", [&] { output(bin_); },
         "the output file {bin}/My Game.nds is in the installation's folder {bin}, which holds "
         "its programs. Choose a folder outside it."},
        {"a typed line too long", [&] { request_.titles[0] = std::string(129, 'x'); },
         "title line 1 is too long: it takes 129 UTF-16 units, and a DS title holds 128"},
        {"lines too long together",
         [&] {
             request_.titles[1] = longLine;
             request_.titles[2] = "Zeile";
         },
         "title line 2 is too long: it takes 122 of the 120 UTF-16 units left after line 1 (a "
         "DS title holds 128, line breaks included)"},
        {"an icon that is no picture",
         [&] {
             WriteFile(base_ / "e.png", "");
             request_.icon = (base_ / "e.png").u8string();
         },
         "cannot use {root}/e.png as icon: not a bitmap, PNG, JPEG or GIF picture"},
        {"a border that is no picture",
         [&] {
             WriteFile(base_ / "b.png", "\x89PNG\r\n\x1a\n random");
             request_.border = (base_ / "b.png").u8string();
         },
         "cannot use {root}/b.png as border: corrupt PNG picture: it does not start with a header "
         "chunk"},
        {"a default picture missing", [&] { fs::remove(app_ / "gfx" / "icon.bmp"); },
         "cannot read the icon {app}/gfx/icon.bmp: no such file"},
        {"a name of the build's in bin/data", [&] { WriteFile(bin_ / "data" / "mode.txt", "PU"); },
         "the staging folder {bin}/data holds mode.txt, a name the build needs for a file of its "
         "own. Rename or move it."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Install(root_.path() / c.name);
        fs::remove_all(user);
        c.arrange();
        binBefore_ = Names(bin_);
        const BuildResult result = Build();
        std::string message = c.message;
        for (std::size_t at = message.find('}'); at != std::string::npos;
             at = message.find('}', at + 1))
            for (std::size_t i = at + 1; i < message.size() && message[i] != ' '; ++i)
                if (message[i] == '/') message[i] = kSep[0];
        const std::map<std::string, std::string> vars = {{"{bin}", bin_.u8string()},
                                                         {"{app}", app_.u8string()},
                                                         {"{roms}", (base_ / "my roms").u8string()},
                                                         {"{user}", pellix::UserFolder()},
                                                         {"{root}", base_.u8string()}};
        for (const auto& [key, value] : vars)
            for (std::size_t at; (at = message.find(key)) != std::string::npos;)
                message.replace(at, key.size(), value);
        EXPECT_EQ(result.kind, BuildOutcome::Refused);
        EXPECT_EQ(result.message, message.empty() ? pellix::kChooseRomFirst
                                                  : "The build did not start: " + message);
        EXPECT_TRUE(ToolsRun().empty());
        ExpectNothingLeft();
        EXPECT_FALSE(fs::exists(Delivered()));
    }
}

TEST_F(Pipeline, ADeliveryThatCannotReplaceTheOutputKeepsNoPartialFile) {
    fs::create_directory(Delivered());  // a folder where the package should go
    const BuildResult result = Build();
    EXPECT_EQ(result.kind, BuildOutcome::Failed);
    EXPECT_EQ(result.message, "The build stopped: cannot copy the package " + work_ + kSep +
                                  "x.nds to " + Delivered().u8string() +
                                  ": the destination is a folder");
    EXPECT_EQ(Names(base_ / "my roms"), (std::vector<std::string>{"My Game.gba", "My Game.nds"}));
    EXPECT_TRUE(fs::is_directory(Delivered()));
}

TEST_F(Pipeline, AnExistingPackageIsReplacedOnlyWhenAskedTo) {
    // Without replace, a package that is there before the build, or that appears while the
    // programs run, is kept and the build says so.
    struct Case {
        bool replace;
        bool before;  // there before the build, else written while efs runs
        BuildOutcome kind;
        bool userFileKept;
    };
    const Case cases[] = {
        {true, true, BuildOutcome::Delivered, false},
        {true, false, BuildOutcome::Delivered, false},
        {false, true, BuildOutcome::Skipped, true},
        {false, false, BuildOutcome::Skipped, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.replace) + std::to_string(c.before));
        fs::remove(Delivered());
        if (c.before) WriteFile(Delivered(), "USER FILE");
        duringTool_ = [&](const std::string& tool, const std::string&) {
            if (tool == "efs" && !c.before) WriteFile(Delivered(), "USER FILE");
        };
        request_.replace = c.replace;
        const BuildResult result = Build();
        EXPECT_EQ(result.kind, c.kind) << result.message;
        EXPECT_EQ(ReadFile(Delivered()) == "USER FILE", c.userFileKept);
        if (c.kind == BuildOutcome::Skipped) {
            EXPECT_EQ(result.reason,
                      "the package " + Delivered().u8string() + " exists");
        }
        EXPECT_EQ(Names(base_ / "my roms"), (std::vector<std::string>{"My Game.gba", "My Game.nds"}));
        ExpectNothingLeft();
    }
}

TEST_F(Pipeline, NamesAsLongAsTheSystemAllowsAreBuilt) {
#ifndef _WIN32  // where a whole path is limited to 260 characters, so is the name
    // The package's name is as long as the ROM's; a temporary name may be no longer.
    const std::string base(251, 'n');
    const fs::path rom = base_ / "my roms" / (base + ".gba");
    WriteFile(rom, "ROM BYTES");
    request_.rom = rom.u8string();
    const BuildResult result = Build();
    ASSERT_EQ(result.kind, BuildOutcome::Delivered) << result.message;
    EXPECT_EQ(ReadPackageBody(base_ / "my roms" / (base + ".nds")), kDefaultPackage);
#endif
    // And a short name, whose temporary name is shorter than the usual one.
    WriteFile(base_ / "my roms" / "a.gba", "ROM BYTES");
    request_.rom = (base_ / "my roms" / "a.gba").u8string();
    ASSERT_EQ(Build().kind, BuildOutcome::Delivered);
    EXPECT_EQ(ReadPackageBody(base_ / "my roms" / "a.nds"), kDefaultPackage);
}

TEST_F(Pipeline, AReadOnlyInstallationBuilds) {
    fs::permissions(bin_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::permissions(bin_ / "data", fs::perms::owner_write, fs::perm_options::remove);
    const BuildResult result = Build();
    fs::permissions(bin_, fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(bin_ / "data", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(result.kind, BuildOutcome::Delivered) << result.message;
    ExpectNothingLeft();
}

TEST_F(Pipeline, ATemporaryFolderThatCannotBeWrittenSaysWhereToWork) {
    const fs::path missing = base_ / "no such temp";
    const BuildResult result =
        pellix::Build(request_, app_.u8string(), pellix::ToolRunner(), missing.u8string());
    EXPECT_EQ(result.kind, BuildOutcome::Failed);
    EXPECT_NE(result.message.find("cannot make a working folder in " + missing.u8string()),
              std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find("to a folder you can write"), std::string::npos)
        << result.message;
}

TEST_F(Pipeline, AnInstallationFolderWithAQuoteIsRefused) {
    const BuildResult result =
        pellix::Build(request_, root_.str() + "/say \"hi\"", [](const std::string&) {
            return pellix::modShellWait::RunResult{};
        });
    EXPECT_EQ(result.kind, BuildOutcome::Refused);
    EXPECT_EQ(result.message.rfind("The build did not start: the installation folder", 0), 0u);
}

}  // namespace
