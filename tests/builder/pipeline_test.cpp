// Tests of the package build against the fake tools in a temporary installation.
#include "build_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "command_line.h"
#include "modio.h"
#include "test_support.h"

namespace fs = std::filesystem;
using pellix::test::ReadFile;
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

const char* const kStaged[] = {"x.nds",        "border.bmp",    "border.img.bin",
                               "icon.bmp",     "data/mode.txt", "data/game.gba",
                               "data/game.gz", "data/game",     "data/border.lz7"};

// Answers the build's reads from plain fields and records every call, in order.
struct FakeSource : pellix::SettingsSource {
    std::string rom, output, icon, border;
    std::string titles[3] = {"My Game", "", ""};
    bool customize = false;
    int psram = 1, compression = 1;
    std::vector<std::string> events;    // reads, Go switches and messages, in order
    std::vector<std::string> messages;  // what ShowMessage was given
    std::vector<bool> goStates;

    std::string RomPath() override { return Read("rom", rom); }
    std::string OutputFolder() override { return Read("output", output); }
    std::string Title(int line) override {
        return Read("title" + std::to_string(line), titles[line - 1]);
    }
    std::string IconFile() override { return Read("icon", icon); }
    std::string BorderFile() override { return Read("border", border); }
    bool CustomizeOpen() override { return Read("customize", customize); }
    int PsramValue() override { return Read("psram", psram); }
    int CompressionValue() override { return Read("compression", compression); }
    void SetGoEnabled(bool enabled) override {
        events.push_back(enabled ? "go on" : "go off");
        goStates.push_back(enabled);
    }
    void ShowMessage(const std::string& text) override {
        events.push_back("message");
        messages.push_back(text);
    }

    template <typename T>
    T Read(const std::string& name, T value) {
        events.push_back(name);
        return value;
    }
};

// Acts out a disk that fills up while a copy whose destination name holds g_fullDiskAt
// is written: half the bytes land, then the system's "disk full". Other copies are real.
std::string g_fullDiskAt;
pellix::modIO::CopyBytesFunction g_realCopy = nullptr;

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

class Pipeline : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        Install(root_.path() / "first");
    }

    // Lays out a fresh installation, ROM folder and settings below `base`.
    void Install(const fs::path& base) {
        base_ = base;
        source_ = FakeSource{};
        commands_.clear();
        app_ = base_ / "My Tools" / "pellix";
        bin_ = app_ / "bin";
        fs::create_directories(bin_ / "data");
        fs::create_directories(app_ / "gfx");
        fs::create_directories(base_ / "my roms");
        pellix::test::InstallFakeTools(bin_);
        WriteFile(bin_ / "7.bin", "ARM7");
        WriteFile(bin_ / "9.bin", "ARM9");
        WriteFile(app_ / "gfx" / "icon.bmp", "DEFAULT ICON");
        WriteFile(app_ / "gfx" / "border.bmp", "DEFAULT BORDER");
        romFile_ = base_ / "my roms" / "My Game.gba";
        WriteFile(romFile_, "ROM BYTES");
        source_.rom = romFile_.string();
        source_.output = (base_ / "my roms").string() + kSep;
    }
    void TearDown() override {
        pellix::modIO::SetCopyBytes(nullptr);
        g_fullDiskAt.clear();
        pellix::modShellWait::SetEventPump({});
        fs::current_path(previous_);
    }

    // Runs a build through the real tool runner, noting each command line and letting a
    // test act while a given program runs.
    bool Build() {
        return pellix::RunBuild(source_, app_.string(), [this](const std::string& line) {
            commands_.push_back(line);
            const std::string tool = ToolOf(line);
            source_.events.push_back("run " + tool);
            if (duringTool_) duringTool_(tool);
            return pellix::modShellWait::RunAndWait(line);
        });
    }

    // A private working folder below the test's base: copies of bin's 7.bin and 9.bin and
    // a data folder holding one file of the user's.
    fs::path MakeWorkFolder(const std::string& name) const {
        const fs::path work = base_ / name;
        fs::create_directories(work / "data");
        fs::copy_file(bin_ / "7.bin", work / "7.bin");
        fs::copy_file(bin_ / "9.bin", work / "9.bin");
        WriteFile(work / "data" / "readme.txt", "KEEP");
        return work;
    }

    std::string ToolOf(const std::string& line) const {
        for (const char* name : {"gzip", "grit", "gbacrusher", "ndstool", "efs"})
            if (line.rfind("\"" + Bin(name + kExe) + "\"", 0) == 0) return name;
        return "?";
    }
    std::string Bin(const std::string& relative) const {
        std::string path = bin_.string() + kSep + relative;
        for (std::size_t i = bin_.string().size(); i < path.size(); ++i)
            if (path[i] == '/') path[i] = kSep[0];
        return path;
    }
    fs::path Delivered() const { return base_ / "my roms" / "My Game.nds"; }
    // The names in the output folder, sorted.
    std::vector<std::string> OutputFolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(base_ / "my roms"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> StagedLeft() const {
        std::vector<std::string> left;
        for (const char* f : kStaged)
            if (fs::is_regular_file(bin_ / f)) left.push_back(f);
        return left;
    }
    std::vector<std::string> ToolsRun() const {
        std::vector<std::string> names;
        for (const auto& call : ReadToolLog(bin_)) names.push_back(call[0]);
        return names;
    }

    TempDir root_{"pellix-pipeline"};
    fs::path previous_, base_, app_, bin_, romFile_;
    FakeSource source_;
    std::vector<std::string> commands_;
    std::function<void(const std::string&)> duringTool_;
};

TEST_F(Pipeline, ABuildRunsTheFiveProgramsAndDeliversThePackage) {
    // A file of the user's that looks like a temporary name is none of the build's business.
    WriteFile(Delivered().string() + ".pellix-partial", "USER FILE");
    ASSERT_TRUE(Build());
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
    // Every program ran in bin and got its arguments whole.
    const auto calls = ReadToolLog(bin_);
    ASSERT_EQ(calls.size(), 5u);
    for (const auto& call : calls) EXPECT_EQ(fs::path(call.back()), fs::canonical(bin_));
    EXPECT_EQ(calls[3].at(15), "My Game");

    EXPECT_EQ(ReadFile(Delivered()),
              "border.lz7 21 LZ:IMG:DEFAULT BORDER\n"
              "game.gz 12 GZ:ROM BYTES\n"
              "mode.txt 2 PC\n");
    EXPECT_EQ(source_.messages, std::vector<std::string>{"Complete!"});
    EXPECT_EQ(source_.goStates, (std::vector<bool>{false, true}));
    EXPECT_TRUE(StagedLeft().empty());
    EXPECT_EQ(ReadFile(Delivered().string() + ".pellix-partial"), "USER FILE");
    EXPECT_EQ(OutputFolderNames(), (std::vector<std::string>{"My Game.gba", "My Game.nds",
                                                             "My Game.nds.pellix-partial"}));
    EXPECT_EQ(fs::current_path(), fs::canonical(bin_));
    EXPECT_FALSE(pellix::BuildRunning());
}

TEST_F(Pipeline, EachSettingIsReadWhenItsStepComes) {
    ASSERT_TRUE(Build());
    const std::vector<std::string> expected = {
        "go off",   "icon",           "customize", "border",      "customize",   "title1",
        "title2",   "title3",         "rom",       "output",      "compression", "run gzip",
        "run grit", "run gbacrusher", "psram",     "run ndstool", "run efs",     "message",
        "go on"};
    EXPECT_EQ(source_.events, expected);
}

TEST_F(Pipeline, TheModeFileAndTheRomFollowTheCheckBoxes) {
    struct Case {
        int psram, compression;
        const char* mode;
        const char* game;
    };
    const Case cases[] = {
        {1, 1, "PC", "game.gz 12 GZ:ROM BYTES"},
        {1, 0, "PU", "game.gba 9 ROM BYTES"},
        {0, 1, "NC", "game.gz 12 GZ:ROM BYTES"},
        {0, 0, "NU", "game.gba 9 ROM BYTES"},
        // Greyed (2) counts as off.
        {2, 1, "NC", "game.gz 12 GZ:ROM BYTES"},
        {1, 2, "PU", "game.gba 9 ROM BYTES"},
    };
    for (const auto& c : cases) {
        source_.psram = c.psram;
        source_.compression = c.compression;
        ASSERT_TRUE(Build()) << source_.messages.back();
        const std::string package = ReadFile(Delivered());
        EXPECT_NE(package.find(std::string("mode.txt 2 ") + c.mode + "\n"), std::string::npos)
            << package;
        EXPECT_NE(package.find(c.game), std::string::npos) << package;
        EXPECT_TRUE(StagedLeft().empty());
    }
}

TEST_F(Pipeline, ASettingChangedDuringAProgramReachesTheModeFileOnly) {
    // The window's event pump runs while grit works; the user turns both boxes off then.
    // PSRAM reaches the mode file; compression cannot, since the ROM is already packed
    // and the letter must name the file the package holds.
    std::string running;
    duringTool_ = [&](const std::string& tool) { running = tool; };
    pellix::modShellWait::SetEventPump([&] {
        if (running == "grit") source_.psram = source_.compression = 0;
    });
    ASSERT_TRUE(Build());
    const std::string package = ReadFile(Delivered());
    EXPECT_NE(package.find("game.gz"), std::string::npos) << package;
    EXPECT_NE(package.find("mode.txt 2 NC"), std::string::npos) << package;
}

TEST_F(Pipeline, BannerTextTable) {
    struct Case {
        const char* l1;
        const char* l2;
        const char* l3;
        const char* banner;
    };
    const Case cases[] = {
        {"", "Two", "Three", "Pellix"}, {"   ", "Two", "Three", "Pellix"},
        {"One", "", "Three", "One"},    {"One", "  ", "Three", "One"},
        {"One", "Two", "", "One;Two"},  {"One", "Two", "Three", "One;Two;Three"},
        {"\t", "", "", "\t"},           {"  One", " Two ", "Three  ", "  One; Two ;Three  "},
        {"A;B", "C", "", "A;B;C"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pellix::BannerText(c.l1, c.l2, c.l3), c.banner) << c.l1 << "|" << c.l2;
}

TEST_F(Pipeline, ATitleWithQuotesAndSemicolonsArrivesIntact) {
    source_.titles[0] = R"(The "Best" Game\)";
    source_.titles[1] = "part 2; more";
    ASSERT_TRUE(Build());
    const auto calls = ReadToolLog(bin_);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[3].at(15), R"(The "Best" Game\;part 2; more)");
    EXPECT_EQ(calls[3].size(), 17u);  // name, 15 arguments, working directory
}

TEST_F(Pipeline, OutputPathTable) {
    struct Case {
        std::string folder, rom, path;
    };
    const Case cases[] = {
        {R"(C:\out\)", R"(C:\roms\MyGame.GBA)", R"(C:\out\MyGame.nds)"},
        {R"(E:\out)", R"(D:\x\Game.gba)", R"(E:\out)" + kSep + "Game.nds"},
        {"C:/out/", R"(D:\x\Game.gba)", "C:/out/Game.nds"},
        {"/home/ana/out", "/roms/Game.gba", "/home/ana/out" + kSep + "Game.nds"},
        {"", R"(D:\x\Game.gba)", "Game.nds"},
        {R"(E:\out\)", R"(D:\x\game.bin)", R"(E:\out\game.bin.nds)"},
    };
    for (const auto& c : cases) EXPECT_EQ(pellix::OutputPath(c.folder, c.rom), c.path);
}

TEST_F(Pipeline, AnEmptyOutputFolderDeliversIntoBin) {
    source_.output = "";
    ASSERT_TRUE(Build()) << source_.messages.back();
    EXPECT_TRUE(fs::exists(bin_ / "My Game.nds"));
}

TEST_F(Pipeline, CustomPicturesCountOnlyWhileThePanelIsOpenAndTheFileExists) {
    WriteFile(base_ / "my icon.bmp", "CUSTOM ICON");
    WriteFile(base_ / "my border.bmp", "CUSTOM BORDER");
    struct Case {
        bool open;
        bool exists;
        const char* icon;
        const char* border;
    };
    const Case cases[] = {
        {true, true, "CUSTOM ICON", "LZ:IMG:CUSTOM BORDER"},
        {false, true, "DEFAULT ICON", "LZ:IMG:DEFAULT BORDER"},
        {true, false, "DEFAULT ICON", "LZ:IMG:DEFAULT BORDER"},
    };
    std::string stagedIcon;
    duringTool_ = [&](const std::string& tool) {
        if (tool == "ndstool") stagedIcon = ReadFile(bin_ / "icon.bmp");
    };
    for (const auto& c : cases) {
        source_.customize = c.open;
        source_.icon = (base_ / (c.exists ? "my icon.bmp" : "no icon.bmp")).string();
        source_.border = (base_ / (c.exists ? "my border.bmp" : "none.bmp")).string();
        source_.messages.clear();
        ASSERT_TRUE(Build());
        EXPECT_EQ(source_.messages, std::vector<std::string>{"Complete!"});
        EXPECT_EQ(stagedIcon, c.icon);
        EXPECT_NE(ReadFile(Delivered()).find(c.border), std::string::npos);
    }
}

TEST_F(Pipeline, ARelativeCustomPictureIsTheFileThatWasFound) {
    // Found relative to the folder the window started in, before the build enters bin.
    WriteFile(base_ / "my border.bmp", "CUSTOM BORDER");
    fs::current_path(base_);
    source_.customize = true;
    source_.border = "my border.bmp";
    ASSERT_TRUE(Build()) << source_.messages.back();
    EXPECT_NE(ReadFile(Delivered()).find("LZ:IMG:CUSTOM BORDER"), std::string::npos);
}

TEST_F(Pipeline, StaleStagedFilesAreNotPackedButOtherFilesAre) {
    WriteFile(bin_ / "data" / "game.gz", "STALE");  // gzip would refuse to overwrite it
    WriteFile(bin_ / "data" / "game.gba", "STALE");
    WriteFile(bin_ / "data" / "mode.txt", "XXXXXXXX");
    WriteFile(bin_ / "x.nds", "STALE");
    WriteFile(bin_ / "data" / "readme.txt", "KEEP");
    ASSERT_TRUE(Build()) << source_.messages.back();
    EXPECT_EQ(ReadFile(Delivered()),
              "border.lz7 21 LZ:IMG:DEFAULT BORDER\n"
              "game.gz 12 GZ:ROM BYTES\n"
              "mode.txt 2 PC\n"
              "readme.txt 4 KEEP\n");
    EXPECT_EQ(ReadFile(bin_ / "data" / "readme.txt"), "KEEP");
}

struct FailureCase {
    const char* name;
    std::function<void(const fs::path& app)> arrange;
    std::vector<std::string> toolsRun;
    std::string message;  // with {bin} and {rom} for the paths
};

TEST_F(Pipeline, AFailureStopsTheBuildCleansUpAndSaysWhy) {
    const auto fail = [](const char* tool, const char* line) {
        return [=](const fs::path& app) {
            WriteFile(app / "bin" / ("fail-" + std::string(tool)), line);
        };
    };
    const auto skip = [](const char* tool) {
        return [=](const fs::path& app) {
            WriteFile(app / "bin" / ("skip-" + std::string(tool)), "");
        };
    };
    const std::vector<FailureCase> cases = {
        {"missing ROM",
         [&](const fs::path&) { fs::remove(romFile_); },
         {},
         "cannot copy the ROM {rom} to {bin}/data/game: no such file"},
        {"gzip fails",
         fail("gzip", "1 gzip: data/game: unexpected end of file"),
         {"gzip"},
         "gzip failed (exit status 1).\ngzip: data/game: unexpected end of file"},
        {"gzip writes nothing",
         skip("gzip"),
         {"gzip"},
         "gzip ended without leaving {bin}/data/game.gz."},
        {"gzip missing",
         [](const fs::path& app) { fs::remove(app / "bin" / ("gzip" + kExe)); },
         {},
         "cannot start gzip: "},
        {"border missing",
         [](const fs::path& app) { fs::remove(app / "gfx" / "border.bmp"); },
         {"gzip"},
         "cannot copy the border picture {app}/gfx/border.bmp to {bin}/border.bmp: no such file"},
        {"grit fails",
         fail("grit", "2 grit: border.bmp: not a bitmap or PNG picture"),
         {"gzip", "grit"},
         "grit failed (exit status 2).\ngrit: border.bmp: not a bitmap or PNG picture"},
        {"grit writes nothing",
         skip("grit"),
         {"gzip", "grit"},
         "grit ended without leaving {bin}/border.img.bin."},
        {"gbacrusher fails",
         fail("gbacrusher", "1 gbacrusher: border.img.bin: too large"),
         {"gzip", "grit", "gbacrusher"},
         "gbacrusher failed (exit status 1).\ngbacrusher: border.img.bin: too large"},
        {"gbacrusher writes nothing",
         skip("gbacrusher"),
         {"gzip", "grit", "gbacrusher"},
         "gbacrusher ended without leaving {bin}/data/border.lz7."},
        {"icon missing",
         [](const fs::path& app) { fs::remove(app / "gfx" / "icon.bmp"); },
         {"gzip", "grit", "gbacrusher"},
         "cannot copy the icon {app}/gfx/icon.bmp to {bin}/icon.bmp: no such file"},
        {"mode file blocked",
         [](const fs::path& app) { fs::create_directory(app / "bin" / "data" / "mode.txt"); },
         {"gzip", "grit", "gbacrusher"},
         "cannot write the mode file {bin}/data/mode.txt."},
        {"ndstool fails",
         fail("ndstool", "1 ndstool: icon.bmp: the icon must be 32 x 32 pixels, not 48 x 48"),
         {"gzip", "grit", "gbacrusher", "ndstool"},
         "ndstool failed (exit status 1).\nndstool: icon.bmp: the icon must be 32 x 32 pixels, "
         "not 48 x 48"},
        {"ndstool writes nothing",
         skip("ndstool"),
         {"gzip", "grit", "gbacrusher", "ndstool"},
         "ndstool ended without leaving {bin}/x.nds."},
        {"efs fails",
         fail("efs", "1 efs: x.nds: no EFS section found"),
         {"gzip", "grit", "gbacrusher", "ndstool", "efs"},
         "efs failed (exit status 1).\nefs: x.nds: no EFS section found"},
        {"output folder missing",
         [&](const fs::path&) { source_.output = (base_ / "gone").string(); },
         {"gzip", "grit", "gbacrusher", "ndstool", "efs"},
         "cannot copy the package {bin}/x.nds to {root}/gone/My Game.nds: "
         "the folder {root}/gone does not exist"},
        {"output folder is a file",
         [&](const fs::path&) {
             WriteFile(base_ / "notes.txt", "NOTES");
             source_.output = (base_ / "notes.txt").string();
         },
         {"gzip", "grit", "gbacrusher", "ndstool", "efs"},
         "cannot copy the package {bin}/x.nds to {root}/notes.txt/My Game.nds: "
         "{root}/notes.txt is a file, not a folder"},
        {"disk full staging the ROM",
         [](const fs::path&) { g_fullDiskAt = "game"; },
         {},
         "cannot copy the ROM {rom} to {bin}/data/game: the disk holding {bin}/data is full"},
        {"disk full delivering the package",
         [](const fs::path&) { g_fullDiskAt = "My Game.nds.pellix-"; },
         {"gzip", "grit", "gbacrusher", "ndstool", "efs"},
         "cannot copy the package {bin}/x.nds to {out}/My Game.nds: the disk holding {out} is "
         "full"},
        {"staging folder missing",
         [](const fs::path& app) { fs::remove_all(app / "bin" / "data"); },
         {},
         "the staging folder {bin}/data does not exist; the installation is incomplete."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Install(root_.path() / c.name);
        WriteFile(Delivered(), "EARLIER PACKAGE");
        g_realCopy = pellix::modIO::SetCopyBytes(&FullDiskCopy);
        c.arrange(app_);

        EXPECT_FALSE(Build());
        pellix::modIO::SetCopyBytes(g_realCopy);
        g_fullDiskAt.clear();
        EXPECT_EQ(ToolsRun(), c.toolsRun);
        std::string message = "The build stopped: " + c.message;
        // The table writes the paths after a placeholder with "/"; the build writes them with
        // the platform's separator. (A program's own message keeps what the program wrote.)
        for (std::size_t at = message.find('}'); at != std::string::npos;
             at = message.find('}', at + 1))
            for (std::size_t i = at + 1;
                 i < message.size() && message[i] != ' ' && message[i] != ':'; ++i)
                if (message[i] == '/') message[i] = kSep[0];
        const std::map<std::string, std::string> vars = {{"{bin}", bin_.string()},
                                                         {"{app}", app_.string()},
                                                         {"{rom}", romFile_.string()},
                                                         {"{root}", base_.string()},
                                                         {"{out}", (base_ / "my roms").string()}};
        for (const auto& [key, value] : vars)
            for (std::size_t at; (at = message.find(key)) != std::string::npos;)
                message.replace(at, key.size(), value);
        ASSERT_EQ(source_.messages.size(), 1u);
        if (c.message.back() == ' ') {
            EXPECT_EQ(source_.messages[0].rfind(message, 0), 0u) << source_.messages[0];
        } else {
            EXPECT_EQ(source_.messages[0], message);
        }
        EXPECT_EQ(source_.goStates, (std::vector<bool>{false, true}));
        EXPECT_TRUE(StagedLeft().empty());
        EXPECT_EQ(ReadFile(Delivered()), "EARLIER PACKAGE");
        for (const std::string& name : OutputFolderNames())  // no temporary file left
            EXPECT_TRUE(name == "My Game.gba" || name == "My Game.nds") << name;
        EXPECT_FALSE(pellix::BuildRunning());
    }
}

TEST_F(Pipeline, ADeliveryThatCannotReplaceTheOutputKeepsNoPartialFile) {
    fs::create_directory(Delivered());  // a folder where the package should go
    WriteFile(Delivered().string() + ".pellix-partial", "USER FILE");
    EXPECT_FALSE(Build());
    ASSERT_EQ(source_.messages.size(), 1u);
    EXPECT_EQ(source_.messages[0], "The build stopped: cannot copy the package " + Bin("x.nds") +
                                       " to " + Delivered().string() +
                                       ": the destination is a folder");
    EXPECT_EQ(ReadFile(Delivered().string() + ".pellix-partial"), "USER FILE");
    EXPECT_EQ(OutputFolderNames(), (std::vector<std::string>{"My Game.gba", "My Game.nds",
                                                             "My Game.nds.pellix-partial"}));
    EXPECT_TRUE(fs::is_directory(Delivered()));
}

TEST_F(Pipeline, AnOutputFolderInsideAStagingFolderIsRefusedBeforeAnythingIsTouched) {
    const fs::path work = MakeWorkFolder("work");
    fs::create_directory(bin_ / "data" / "sub");
    const std::string binData = bin_.string() + kSep + "data";
    const std::string workData = work.string() + kSep + "data";
    struct Case {
        std::string outputFolder;
        fs::path workDir;  // empty: the window's build in bin
        std::string stagingFolder;
    };
    const Case cases[] = {
        {(bin_ / "data").string(), {}, binData},
        {(bin_ / "data").string() + kSep, {}, binData},
        {(bin_ / "data" / "sub").string(), {}, binData},
        {"data", {}, binData},  // relative names are taken from bin
        {(bin_ / "data" / ".." / "data").string(), {}, binData},
        {(work / "data").string(), work, workData},
        {(bin_ / "data").string(), work, binData},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outputFolder + " in " + c.workDir.string());
        source_ = FakeSource{};
        source_.rom = romFile_.string();
        source_.output = c.outputFolder;
        const bool built = c.workDir.empty()
                               ? Build()
                               : pellix::RunBuildIn(source_, app_.string(), c.workDir.string());
        EXPECT_FALSE(built);
        ASSERT_EQ(source_.messages.size(), 1u);
        EXPECT_EQ(source_.messages[0],
                  "The build did not start: the output file " +
                      pellix::OutputPath(c.outputFolder, source_.rom) +
                      " is in the staging folder " + c.stagingFolder +
                      ", whose whole content goes into every package. Choose a folder outside "
                      "it.");
        EXPECT_EQ(source_.goStates, (std::vector<bool>{false, true}));
        EXPECT_TRUE(ToolsRun().empty());
        EXPECT_TRUE(ReadToolLog(work).empty());
    }
    EXPECT_FALSE(fs::exists(bin_ / "data" / "My Game.nds"));
    EXPECT_FALSE(fs::exists(work / "data" / "My Game.nds"));
}

TEST_F(Pipeline, ABuildOutlivesAReplacedInstallationFolder) {
    // A reinstall while the window is open replaces bin, the window's current folder.
    ASSERT_TRUE(Build()) << source_.messages.back();
    ASSERT_EQ(fs::current_path(), fs::canonical(bin_));
    std::error_code removeError;
    fs::remove_all(bin_, removeError);
    if (removeError) GTEST_SKIP() << "this system keeps the current folder from being removed";
    fs::create_directories(bin_ / "data");
    pellix::test::InstallFakeTools(bin_);
    WriteFile(bin_ / "7.bin", "ARM7");
    WriteFile(bin_ / "9.bin", "ARM9");
    fs::remove(Delivered());

    source_.messages.clear();
    ASSERT_TRUE(Build()) << source_.messages.back();
    EXPECT_EQ(ReadFile(Delivered()).rfind("border.lz7", 0), 0u);
    EXPECT_EQ(fs::current_path(), fs::canonical(bin_));
}

TEST_F(Pipeline, AnExistingPackageIsReplaced) {
    WriteFile(Delivered(), "EARLIER PACKAGE");
    ASSERT_TRUE(Build());
    EXPECT_EQ(ReadFile(Delivered()).rfind("border.lz7", 0), 0u);
}

TEST_F(Pipeline, PathsThatAreWorkingFilesAreRefusedBeforeAnythingIsTouched) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string role;
        std::function<std::string()> path;
        fs::path kept;
    };
    const fs::path rom = bin_ / "data" / "game";
    const std::vector<Case> cases = {
        {"ROM in the staging folder", [&] { source_.rom = rom.string(); }, "the ROM",
         [&] { return rom.string(); }, rom},
        {"ROM by a roundabout path",
         [&] { source_.rom = (bin_ / "data" / ".." / "data" / "game").string(); }, "the ROM",
         [&] { return source_.rom; }, rom},
        {"output onto x.nds",
         [&] {
             WriteFile(base_ / "x.gba", "X ROM");
             source_.rom = (base_ / "x.gba").string();
             source_.output = "";
         },
         "the output file", [] { return std::string("x.nds"); }, bin_ / "x.nds"},
        {"icon in bin",
         [&] {
             source_.customize = true;
             source_.icon = (bin_ / "icon.bmp").string();
         },
         "the icon", [&] { return (bin_ / "icon.bmp").string(); }, bin_ / "icon.bmp"},
        {"border in bin",
         [&] {
             source_.customize = true;
             source_.border = (bin_ / "border.bmp").string();
         },
         "the border picture", [&] { return (bin_ / "border.bmp").string(); }, bin_ / "border.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        source_ = FakeSource{};
        source_.rom = romFile_.string();
        source_.output = (base_ / "my roms").string();
        c.arrange();
        WriteFile(c.kept, "USER FILE");
        EXPECT_FALSE(Build());
        ASSERT_EQ(source_.messages.size(), 1u);
        EXPECT_EQ(source_.messages[0],
                  "The build did not start: " + c.role + " " + c.path() +
                      " is one of the working files that a build writes in " + bin_.string() +
                      " and deletes afterwards. Choose a file or folder outside it.");
        EXPECT_EQ(ReadFile(c.kept), "USER FILE");
        EXPECT_TRUE(ToolsRun().empty());
        EXPECT_EQ(source_.goStates, (std::vector<bool>{false, true}));
        fs::remove(c.kept);
    }
}

TEST_F(Pipeline, ASecondGoDuringABuildStartsNothing) {
    FakeSource second;
    second.rom = romFile_.string();
    bool secondResult = true;
    bool runningSeen = false;
    std::string running;
    duringTool_ = [&](const std::string& tool) { running = tool; };
    pellix::modShellWait::SetEventPump([&] {
        if (running != "grit") return;
        running.clear();
        runningSeen = pellix::BuildRunning();
        // A ROM chosen mid-build switches Go on again; the click that follows must not build.
        source_.SetGoEnabled(true);
        secondResult = pellix::RunBuild(second, app_.string());
    });
    ASSERT_TRUE(Build());
    EXPECT_TRUE(runningSeen);
    EXPECT_FALSE(secondResult);
    EXPECT_TRUE(second.events.empty());
    EXPECT_EQ(ToolsRun(),
              (std::vector<std::string>{"gzip", "grit", "gbacrusher", "ndstool", "efs"}));
}

TEST_F(Pipeline, ABuildInAWorkingFolderOfItsOwnStagesThereAndLeavesBinAlone) {
    const fs::path work = MakeWorkFolder("work folder");
    const fs::path before = fs::current_path();
    std::vector<std::pair<std::string, std::string>> runs;
    const bool built = pellix::RunBuildIn(source_, app_.string(), work.string(),
                                          [&](const std::string& line, const std::string& dir) {
                                              runs.emplace_back(ToolOf(line), dir);
                                              return pellix::modShellWait::RunAndWait(line, dir);
                                          });
    ASSERT_TRUE(built) << source_.messages.back();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"gzip", work.string()},    {"grit", work.string()}, {"gbacrusher", work.string()},
        {"ndstool", work.string()}, {"efs", work.string()},
    };
    EXPECT_EQ(runs, expected);
    const auto calls = ReadToolLog(work);
    ASSERT_EQ(calls.size(), 5u);
    for (const auto& call : calls) EXPECT_EQ(fs::path(call.back()), fs::canonical(work));
    EXPECT_EQ(ReadFile(Delivered()),
              "border.lz7 21 LZ:IMG:DEFAULT BORDER\n"
              "game.gz 12 GZ:ROM BYTES\n"
              "mode.txt 2 PC\n"
              "readme.txt 4 KEEP\n");
    EXPECT_EQ(source_.messages, std::vector<std::string>{"Complete!"});
    EXPECT_TRUE(ToolsRun().empty());  // nothing ran in bin
    for (const char* f : kStaged) EXPECT_FALSE(fs::exists(work / f)) << f;
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_FALSE(pellix::BuildRunning());
}

TEST_F(Pipeline, BuildsInTwoWorkingFoldersRunSideBySideInThreads) {
    // Each build waits inside grit until the other has reached it too, so they overlap for
    // certain; meanwhile a third build asks for a folder that is busy and does nothing.
    struct Job {
        fs::path work, rom, out;
        FakeSource source;
        bool built = false;
    };
    Job jobs[2];
    for (int i = 0; i < 2; ++i) {
        Job& job = jobs[i];
        job.work = MakeWorkFolder("work " + std::to_string(i));
        job.rom = base_ / ("game " + std::to_string(i) + ".gba");
        WriteFile(job.rom, "ROM OF GAME " + std::to_string(i));
        job.out = base_ / ("out " + std::to_string(i));
        fs::create_directory(job.out);
        job.source.rom = job.rom.string();
        job.source.output = job.out.string();
        job.source.compression = i;
    }
    std::mutex mutex;
    std::condition_variable changed;
    int inGrit = 0;
    bool overlapped = false;
    FakeSource third;
    bool thirdBuilt = true;
    const pellix::ToolRunner runner = [&](const std::string& line, const std::string& dir) {
        if (ToolOf(line) == "grit") {
            std::unique_lock<std::mutex> lock(mutex);
            ++inGrit;
            changed.notify_all();
            overlapped =
                changed.wait_for(lock, std::chrono::seconds(20), [&] { return inGrit == 2; });
            if (dir == jobs[0].work.string()) {
                third.rom = romFile_.string();
                thirdBuilt = pellix::RunBuildIn(third, app_.string(), jobs[0].work.string());
            }
        }
        return pellix::modShellWait::RunAndWait(line, dir);
    };
    // The window's event pump belongs to its own thread; builds elsewhere must not call it.
    std::atomic<int> foreignPumps{0};
    pellix::modShellWait::SetEventPump([&] { ++foreignPumps; });
    std::thread threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = std::thread([&, i] {
            jobs[i].built =
                pellix::RunBuildIn(jobs[i].source, app_.string(), jobs[i].work.string(), runner);
        });
    for (std::thread& t : threads) t.join();

    EXPECT_TRUE(overlapped);
    EXPECT_EQ(foreignPumps, 0);
    EXPECT_FALSE(thirdBuilt);
    EXPECT_TRUE(third.events.empty());
    const char* const games[] = {"game.gba 13 ROM OF GAME 0", "game.gz 16 GZ:ROM OF GAME 1"};
    const char* const modes[] = {"mode.txt 2 PU", "mode.txt 2 PC"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(jobs[i].built) << jobs[i].source.messages.back();
        const std::string package = ReadFile(jobs[i].out / ("game " + std::to_string(i) + ".nds"));
        EXPECT_NE(package.find(games[i]), std::string::npos) << package;
        EXPECT_NE(package.find(modes[i]), std::string::npos) << package;
        EXPECT_EQ(ReadToolLog(jobs[i].work).size(), 4u + i);  // gzip only when compressing
        for (const char* f : kStaged) EXPECT_FALSE(fs::exists(jobs[i].work / f)) << f;
    }
    EXPECT_FALSE(pellix::BuildRunning());
}

TEST_F(Pipeline, AnotherProcessBuildingInTheFolderKeepsThisBuildOutUntilItEnds) {
    using pellix::QuoteArgument;
    const std::string refusal = "The build did not start: another build is running in " +
                                bin_.string() +
                                " (in another Pellix window or program). Try again when it "
                                "has finished.";
    WriteFile(base_ / "probe.gba", "PROBE ROM");
    fs::create_directory(base_ / "probe out");
    const std::string probe = QuoteArgument(PELLIX_BUILD_PROBE) + " " +
                              QuoteArgument(app_.string()) + " " +
                              QuoteArgument((base_ / "probe.gba").string()) + " " +
                              QuoteArgument((base_ / "probe out").string());
    const auto reset = [&] {
        source_ = FakeSource{};
        source_.rom = romFile_.string();
        source_.output = (base_ / "my roms").string();
    };
    pellix::modShellWait::RunResult other;

    // The other process is in ndstool: this build is refused and touches nothing, and the
    // other's package holds its own ROM.
    WriteFile(bin_ / "sleep-ndstool", "1500");
    std::thread building([&] { other = pellix::modShellWait::RunAndWait(probe); });
    const bool inNdstool = pellix::test::WaitFor([&] {
        const auto tools = ToolsRun();
        return std::find(tools.begin(), tools.end(), "ndstool") != tools.end();
    });
    EXPECT_FALSE(Build());
    building.join();
    ASSERT_TRUE(inNdstool);
    EXPECT_EQ(source_.messages, std::vector<std::string>{refusal});
    EXPECT_EQ(source_.goStates, (std::vector<bool>{false, true}));
    EXPECT_EQ(other.exitCode, 0) << other.errorText;
    EXPECT_NE(ReadFile(base_ / "probe out" / "probe.nds").find("game.gz 12 GZ:PROBE ROM"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(Delivered()));
    fs::remove(bin_ / "sleep-ndstool");

    // The other process dies with its files staged: while it lives this build is refused,
    // once it is killed this one runs and packs nothing of the other's.
    const fs::path ready = base_ / "probe ready";
    std::thread dying([&] {
        other = pellix::modShellWait::RunAndWait(probe + " " + QuoteArgument(ready.string()));
    });
    const bool staged = pellix::test::WaitFor([&] { return fs::exists(ready); });
    reset();
    EXPECT_FALSE(Build());
    EXPECT_EQ(source_.messages, std::vector<std::string>{refusal});
    if (staged) pellix::test::KillProcess(std::stol(ReadFile(ready)));
    dying.join();
    ASSERT_TRUE(staged);
    EXPECT_NE(other.exitCode, 0);
    reset();
    ASSERT_TRUE(Build()) << source_.messages.back();
    EXPECT_EQ(ReadFile(Delivered()),
              "border.lz7 21 LZ:IMG:DEFAULT BORDER\n"
              "game.gz 12 GZ:ROM BYTES\n"
              "mode.txt 2 PC\n");
    EXPECT_TRUE(StagedLeft().empty());
}

TEST_F(Pipeline, AnInstallationFolderWithAQuoteIsRefused) {
    source_.customize = false;
    EXPECT_FALSE(pellix::RunBuild(source_, root_.str() + "/say \"hi\"", [](const std::string&) {
        return pellix::modShellWait::RunResult{};
    }));
    ASSERT_EQ(source_.messages.size(), 1u);
    EXPECT_EQ(source_.messages[0].rfind("The build did not start: the installation folder", 0), 0u);
}

}  // namespace
