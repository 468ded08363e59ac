// Tests of the private working folder: what it holds, and that nothing of it outlives it.
#include "work_folder.h"

#include <gtest/gtest.h>

#include <set>

#include "modio.h"
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

    TempDir root_{"pellix-workfolder"};
    fs::path app_ = root_.path() / "inst";
    fs::path parent_ = root_.path() / "temp";
};

TEST_F(WorkFolderTest, HoldsTheImagesAndTheUsersDataAndGoesAway) {
    std::string first;
    {
        WorkFolder folder(app_.string(), parent_.string());
        first = folder.path();
        EXPECT_EQ(fs::path(first).parent_path(), parent_);
        const std::set<std::string> expected = {"7.bin=ARM7", "9.bin=ARM9", "data/cheats.txt=mine",
                                                "data/extra/notes.txt=also mine"};
        EXPECT_EQ(Contents(first), expected);

        // A second build at the same time gets a folder of its own.
        WorkFolder second(app_.string(), parent_.string());
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
        WorkFolder folder(app_.string(), parent_.string());
        FAIL() << "made " << folder.path();
    } catch (const pellix::modIO::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("9.bin"), std::string::npos) << e.what();
        EXPECT_EQ(e.reason(), "no such file");
    }
    EXPECT_TRUE(ParentIsEmpty());

    // No bin/data at all: the folder still gets an empty data/ of its own.
    WriteFile(app_ / "bin" / "9.bin", "ARM9");
    fs::remove_all(app_ / "bin" / "data");
    WorkFolder folder(app_.string(), parent_.string());
    EXPECT_TRUE(fs::is_directory(fs::path(folder.path()) / "data"));
    EXPECT_TRUE(fs::is_empty(fs::path(folder.path()) / "data"));
}

TEST_F(WorkFolderTest, AParentThatIsNotThereIsNamed) {
    try {
        WorkFolder folder(app_.string(), (root_.path() / "nowhere").string());
        FAIL() << "made " << folder.path();
    } catch (const pellix::modIO::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("nowhere"), std::string::npos) << e.what();
    }
}

}  // namespace
