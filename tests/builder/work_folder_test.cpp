// Tests of the private working folder: what it holds, and that nothing of it outlives it.
#include "builder/work_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "builder/build_paths.h"
#include "builder/shell_wait.h"
#include "builder/staging_files.h"
#include "system/command_line.h"
#include "test_support.h"

namespace fs = std::filesystem;
using pellix::WorkFolder;
using pellix::test::ReadFile;
using pellix::test::TempDir;
using pellix::test::WriteFile;

namespace {

// Every file below `dir` as "relative/path=content", sorted.
std::set<std::string> Contents(const fs::path& dir) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files.insert(fs::relative(entry.path(), dir).generic_string() + "=" +
                         ReadFile(entry.path()));
    return files;
}

class WorkFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(app_ / "bin" / "data" / "extra");
        fs::create_directories(parent_);
        WriteFile(app_ / "bin" / "7.bin", "ARM7");
        WriteFile(app_ / "bin" / "9.bin", "ARM9");
        WriteFile(app_ / "bin" / "grit", "a program, not copied");
        WriteFile(app_ / "bin" / "data" / "cheats.txt", "mine");
        WriteFile(app_ / "bin" / "data" / "extra" / "notes.txt", "also mine");
        // What an interrupted window build leaves; the build would remove it anyway.
        for (const char* left : {"game", "game.gz", "game.gba", "border.lz7", "mode.txt"})
            WriteFile(app_ / "bin" / "data" / left, "left behind");
    }
    bool ParentIsEmpty() const { return fs::is_empty(parent_); }
    // The installation's own images and data, no folder of the user's.
    pellix::DsInputs Inputs() const { return pellix::FindDsInputs(app_.u8string(), ""); }

    TempDir root_{"pellix-workfolder"};
    fs::path app_ = root_.path() / "inst";
    fs::path parent_ = root_.path() / "temp";
};

TEST_F(WorkFolderTest, HoldsTheImagesAndTheUsersDataAndGoesAway) {
    std::string first;
    {
        WorkFolder folder(Inputs(), parent_.string());
        first = folder.path();
        EXPECT_EQ(fs::path(first).parent_path(), parent_);
        const std::set<std::string> expected = {"7.bin=ARM7", "9.bin=ARM9", "data/cheats.txt=mine",
                                                "data/extra/notes.txt=also mine"};
        EXPECT_EQ(Contents(first), expected);

        // A second build at the same time gets a folder of its own.
        WorkFolder second(Inputs(), parent_.string());
        EXPECT_NE(second.path(), first);
        // Whatever a build leaves there, read-only parts included, goes with it.
        WriteFile(fs::path(second.path()) / "x.nds", "package");
        fs::permissions(fs::path(second.path()) / "data" / "extra",
                        fs::perms::owner_read | fs::perms::owner_exec);
        fs::permissions(fs::path(second.path()) / "9.bin", fs::perms::owner_read);
        EXPECT_TRUE(second.Remove());
        EXPECT_FALSE(fs::exists(second.path()));
        EXPECT_TRUE(second.Remove());
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(ParentIsEmpty());
    // The installation is as it was.
    EXPECT_EQ(ReadFile(app_ / "bin" / "data" / "game"), "left behind");
    EXPECT_EQ(ReadFile(app_ / "bin" / "7.bin"), "ARM7");
}

TEST_F(WorkFolderTest, AnIncompleteInstallationLeavesNothingBehind) {
    fs::remove(app_ / "bin" / "9.bin");
    try {
        WorkFolder folder(Inputs(), parent_.string());
        FAIL() << "made " << folder.path();
    } catch (const pellix::files::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("9.bin"), std::string::npos) << e.what();
        EXPECT_EQ(e.reason(), "no such file");
    }
    EXPECT_TRUE(ParentIsEmpty());

    // No bin/data at all: the installation is incomplete.
    WriteFile(app_ / "bin" / "9.bin", "ARM9");
    fs::remove_all(app_ / "bin" / "data");
    EXPECT_THROW(WorkFolder(Inputs(), parent_.string()), pellix::files::FileError);
    EXPECT_TRUE(ParentIsEmpty());
}

// The user's own folder comes first, image by image; the data files of both folders are
// packed, and a name found in both is refused, never chosen in silence.
TEST_F(WorkFolderTest, TheUsersOwnFolderComesBeforeTheInstallation) {
    using Files = std::map<std::string, std::string>;
    const std::set<std::string> installed = {"7.bin=ARM7", "9.bin=ARM9", "data/cheats.txt=mine",
                                             "data/extra/notes.txt=also mine"};
    struct Case {
        const char* name;
        std::optional<Files> user;       // nullopt: the folder does not exist
        std::set<std::string> expected;  // empty: refused, naming `clash`
        std::string clash;
    };
    const Case cases[] = {
        {"no user folder", std::nullopt, installed, ""},
        {"an empty user folder", Files{}, installed, ""},
        {"the user's images and data",
         Files{{"7.bin", "OWN7"}, {"9.bin", "OWN9"}, {"data/own.txt", "o"}},
         {"7.bin=OWN7", "9.bin=OWN9", "data/cheats.txt=mine", "data/extra/notes.txt=also mine",
          "data/own.txt=o"},
         ""},
        {"one image from each, folders merged",
         Files{{"9.bin", "OWN9"}, {"data/extra/more.txt", "m"}},
         {"7.bin=ARM7", "9.bin=OWN9", "data/cheats.txt=mine", "data/extra/notes.txt=also mine",
          "data/extra/more.txt=m"},
         ""},
        {"a file in both", Files{{"data/cheats.txt", "theirs"}}, {}, "cheats.txt"},
        {"a file in both, deeper", Files{{"data/extra/notes.txt", "x"}}, {}, "notes.txt"},
        {"a file where the other has a folder", Files{{"data/extra", "x"}}, {}, "extra"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path user = root_.path() / c.name;
        if (c.user) fs::create_directories(user);
        for (const auto& [name, content] : c.user.value_or(Files{})) {
            fs::create_directories((user / name).parent_path());
            WriteFile(user / name, content);
        }
        const pellix::DsInputs inputs = pellix::FindDsInputs(app_.u8string(), user.u8string());
        if (!c.expected.empty()) {
            WorkFolder folder(inputs, parent_.string());
            EXPECT_EQ(Contents(folder.path()), c.expected);
            continue;
        }
        try {
            WorkFolder folder(inputs, parent_.string());
            ADD_FAILURE() << "made " << folder.path();
        } catch (const pellix::DataNameClash& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find((user / "data").u8string()), std::string::npos) << what;
            EXPECT_NE(what.find((app_ / "bin" / "data").u8string()), std::string::npos) << what;
            EXPECT_NE(what.find(c.clash), std::string::npos) << what;
        }
        EXPECT_TRUE(ParentIsEmpty());
    }
#ifndef _WIN32
    // A user's data folder that leads to bin/data is that folder, packed once.
    fs::create_directories(root_.path() / "linked");
    fs::create_directory_symlink(app_ / "bin" / "data", root_.path() / "linked" / "data");
    WorkFolder linked(pellix::FindDsInputs(app_.u8string(), (root_.path() / "linked").u8string()),
                      parent_.string());
    EXPECT_EQ(Contents(linked.path()), installed);
#endif
}

#ifndef _WIN32
// One rule for whatever the user keeps in bin/data, whoever builds: links are followed, a
// pipe or a device is refused at once (never opened, so never waited on), a link that
// leads back around is refused, and working files of ours are passed over.
TEST_F(WorkFolderTest, TheStagingFolderIsCopiedByOneRule) {
    const fs::path data = app_ / "bin" / "data";
    const fs::path elsewhere = root_.path() / "elsewhere";
    fs::create_directories(elsewhere / "deep");
    WriteFile(elsewhere / "deep" / "level.txt", "linked");
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::set<std::string> added;  // to the usual contents; empty when refused
        std::string refusal;          // part of the message
    };
    const std::vector<Case> cases = {
        {"a linked folder", [&] { fs::create_directory_symlink(elsewhere, data / "linked"); },
         {"data/linked/deep/level.txt=linked"}, ""},
        {"a linked file",
         [&] { fs::create_symlink(elsewhere / "deep" / "level.txt", data / "level.txt"); },
         {"data/level.txt=linked"}, ""},
        {"gzip's temporary file and another build's folder",
         [&] {
             WriteFile(data / "game.gz.Ab12Cd34.tmp", "part of another ROM");
             fs::create_directories(data / "pellix-build-0badf00d" / "data");
             WriteFile(data / "pellix-build-0badf00d.lock", "");
         },
         {}, ""},
        {"a pipe", [&] { ASSERT_EQ(::mkfifo((data / "pipe").c_str(), 0600), 0); }, {},
         "it is not a file or a folder (a pipe, socket or device)"},
        {"a link around", [&] { fs::create_directory_symlink(data, data / "extra" / "again"); },
         {}, "it is a link to a folder that holds it"},
    };
    const std::set<std::string> usual = {"7.bin=ARM7", "9.bin=ARM9", "data/cheats.txt=mine",
                                         "data/extra/notes.txt=also mine"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(data);
        fs::create_directories(data / "extra");
        WriteFile(data / "cheats.txt", "mine");
        WriteFile(data / "extra" / "notes.txt", "also mine");
        c.arrange();
        try {
            WorkFolder folder(Inputs(), parent_.string());
            std::set<std::string> expected = usual;
            expected.insert(c.added.begin(), c.added.end());
            EXPECT_EQ(c.refusal, "");
            EXPECT_EQ(Contents(folder.path()), expected);
        } catch (const pellix::files::FileError& e) {
            EXPECT_NE(c.refusal, "") << e.what();
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
        }
        EXPECT_TRUE(ParentIsEmpty());
    }
}

TEST_F(WorkFolderTest, ATemporaryFolderInsideTheStagingFolderIsNotCopiedIntoItself) {
    const fs::path inside = app_ / "bin" / "data" / "tmp";
    fs::create_directories(inside);
    WorkFolder first(Inputs(), inside.string());
    WorkFolder second(Inputs(), inside.string());
    EXPECT_EQ(Contents(second.path()), (std::set<std::string>{"7.bin=ARM7", "9.bin=ARM9",
                                                              "data/cheats.txt=mine",
                                                              "data/extra/notes.txt=also mine"}));
}
#endif

// A folder whose build was killed goes with the next sweep; a running build's stays.
TEST_F(WorkFolderTest, StaleFoldersAreToldByTheirLock) {
    using pellix::QuoteArgument;
    WriteFile(root_.path() / "a.gba", "ROM");
    fs::create_directories(app_ / "gfx");
    for (const char* picture : {"icon.bmp", "border.bmp"}) WriteFile(app_ / "gfx" / picture, "x");
    // A build refuses to start beside files named as its own.
    for (const char* left : pellix::paths::kBuildDataNames)
        fs::remove(app_ / "bin" / "data" / left);
    const fs::path ready = root_.path() / "ready";
    pellix::modShellWait::RunResult probe;
    // The probe runs with this test's parent as its temporary folder.
    const std::string line = QuoteArgument(PELLIX_BUILD_PROBE) + " build " +
                             QuoteArgument(app_.u8string()) + " " +
                             QuoteArgument((root_.path() / "a.gba").u8string()) + " " +
                             QuoteArgument(root_.str()) + " " + QuoteArgument(ready.u8string());
#ifdef _WIN32
    _putenv_s("TMP", parent_.string().c_str());
#else
    setenv("TMPDIR", parent_.c_str(), 1);
#endif
    std::thread dying([&] { probe = pellix::modShellWait::RunAndWait(line); });
    const bool staged = pellix::test::WaitFor([&] { return fs::exists(ready); });
#ifdef _WIN32
    _putenv_s("TMP", "");
#else
    unsetenv("TMPDIR");
#endif
    WorkFolder running(Inputs(), parent_.string());
    EXPECT_TRUE(staged);
    // While the probe lives its folder stays, and so does this one.
    EXPECT_EQ(pellix::RemoveStaleWorkFolders(parent_.string()), 0);
    if (staged) pellix::test::KillProcess(std::stol(ReadFile(ready)));
    dying.join();
    EXPECT_NE(probe.exitCode, 0);
    EXPECT_EQ(pellix::RemoveStaleWorkFolders(parent_.string()), 1);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(parent_))
        left.push_back(entry.path().filename().u8string());
    EXPECT_EQ(left.size(), 2u);  // this test's folder and its lock
    EXPECT_TRUE(fs::is_directory(running.path()));
    // An old folder without a lock of ours is not ours to judge.
    fs::create_directories(parent_ / "pellix-build-00000000");
    EXPECT_EQ(pellix::RemoveStaleWorkFolders(parent_.string()), 0);
}

TEST_F(WorkFolderTest, AParentThatIsNotThereIsNamed) {
    try {
        WorkFolder folder(Inputs(), (root_.path() / "nowhere").string());
        FAIL() << "made " << folder.path();
    } catch (const pellix::files::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("nowhere"), std::string::npos) << e.what();
    }
}

}  // namespace
