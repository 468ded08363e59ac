// Tests of the staging file helpers: names, copies, existence, lengths, numbered writes.
#include "builder/staging_files.h"

#include <gtest/gtest.h>

#include <vector>

#include "system/platform.h"
#include "test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace pellix::files;
using pellix::test::ReadFile;
using pellix::test::TempDir;
using pellix::test::WriteFile;

namespace {

struct BaseNameCase {
    const char* path;
    const char* extension;
    const char* onWindows;
    const char* elsewhere;  // where a backslash is part of a name
};

TEST(BaseName, SplitsOffTheNameAndAnExtensionIgnoringCase) {
    const BaseNameCase cases[] = {
        {R"(C:\roms\MyGame.GBA)", ".gba", "MyGame", R"(C:\roms\MyGame)"},
        {R"(C:\roms\MyGame.GBA)", "", "MyGame.GBA", R"(C:\roms\MyGame.GBA)"},
        {"game.gba", ".gba", "game", "game"},
        {".gba", ".gba", "", ""},
        {R"(C:\a/b\c.gba)", ".gba", "c", R"(b\c)"},
        {R"(C:\a\b/c.gba)", ".gba", "c", "c"},
        {R"(C:\roms\)", ".gba", "", R"(C:\roms\)"},
        {"C:game.gba", ".gba", "C:game", "C:game"},
        {R"(back\slash.gba)", ".gba", "slash", R"(back\slash)"},
        {"/home/ana/My Games/Quest.Gba", ".gba", "Quest", "Quest"},
        {"a.gba", "longer than the path", "a.gba", "a.gba"},
        {"", ".gba", "", ""},
        {"dir/.gba", ".gba", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BaseName(c.path, c.extension), pellix::os::kWindows ? c.onWindows : c.elsewhere)
            << "path " << c.path << ", extension " << c.extension;
    }
}

class StagingFiles : public ::testing::Test {
  protected:
    TempDir dir{"pellix-staging-files"};
    std::string At(const std::string& name) const { return (dir.path() / name).string(); }
};

TEST_F(StagingFiles, CopyReplacesAnExistingDestination) {
    WriteFile(At("src"), "new bytes");
    WriteFile(At("dst"), "old content that is longer");
    EXPECT_TRUE(CopyFileTo(At("src"), At("dst")));
    EXPECT_EQ(ReadFile(At("dst")), "new bytes");
}

TEST_F(StagingFiles, CopyFailuresAreRaisedWithTheirReason) {
    WriteFile(At("src"), "x");
    fs::create_directory(At("folder"));
    struct Case {
        std::string from, to, message;
    };
    const std::vector<Case> cases = {
        {At("missing"), At("dst"),
         "cannot copy " + At("missing") + " to " + At("dst") + ": no such file"},
        {At("src"), At("nofolder/dst"),
         "cannot copy " + At("src") + " to " + At("nofolder/dst") + ": the folder " +
             At("nofolder") + " does not exist"},
        {At("folder"), At("dst"),
         "cannot copy " + At("folder") + " to " + At("dst") + ": the source is a folder"},
        {At("src"), At("folder"),
         "cannot copy " + At("src") + " to " + At("folder") + ": the destination is a folder"},
        {At("src"), At("src/dst"),
         "cannot copy " + At("src") + " to " + At("src/dst") + ": " + At("src") +
             " is a file, not a folder"},
        {At("src"), At("src"),
         "cannot copy " + At("src") + " to " + At("src") +
             ": the source and the destination are the same file"},
    };
    for (const auto& c : cases) {
        try {
            CopyFileTo(c.from, c.to);
            ADD_FAILURE() << "no error for " << c.from << " -> " << c.to;
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
    EXPECT_FALSE(fs::exists(At("dst")));
    EXPECT_EQ(ReadFile(At("src")), "x");
}

TEST_F(StagingFiles, CopyBesideMakesANewFileEachTimeAndTouchesNoOther) {
    // The temporary name is never longer than the final one, so it fits wherever that fits
    // (a name of 255 bytes included).
    WriteFile(At("src"), "package");
    for (const std::size_t length : {5u, 7u, 21u, 40u, 255u}) {
        const std::string final = std::string(length - 4, 'o') + ".nds";
        SCOPED_TRACE(final);
        WriteFile(At(final), "EARLIER");
        const std::string first = CopyFileBeside(At("src"), At(final));
        const std::string second = CopyFileBeside(At("src"), At(final));
        EXPECT_NE(first, second);
        for (const std::string& name : {first, second}) {
            EXPECT_EQ(fs::u8path(name).parent_path(), fs::u8path(At(final)).parent_path());
            EXPECT_LE(fs::u8path(name).filename().u8string().size(), length);
            EXPECT_EQ(ReadFile(name), "package");
            fs::remove(fs::u8path(name));
        }
        EXPECT_EQ(ReadFile(At(final)), "EARLIER");
    }
}

#ifndef _WIN32
TEST_F(StagingFiles, AFullDiskIsCalledThat) {
    // /dev/full answers every write with ENOSPC, as a full disk does.
    WriteFile(At("src"), std::string(100000, 'x'));
    try {
        CopyFileTo(At("src"), "/dev/full");
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason(), "the disk holding /dev is full");
    }
}
#endif

TEST_F(StagingFiles, FileQueriesAnswerForFilesOnly) {
    WriteFile(At("five"), "12345");
    WriteFile(At("empty"), "");
    fs::create_directory(At("folder"));
    // Beyond the 32-bit range the length stays large instead of wrapping (sparse file).
    WriteFile(At("huge"), "");
    fs::resize_file(At("huge"), std::uintmax_t{3} << 30);
    struct Case {
        std::string path;
        bool exists;
        std::int32_t size;
    };
    const Case cases[] = {
        {At("five"), true, 5},     {At("empty"), true, 0},   {At("huge"), true, 0x7FFFFFFF},
        {At("folder"), false, 0},  {At("missing"), false, 0}, {"", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileExists(c.path), c.exists);
        EXPECT_EQ(FileSizeOrZero(c.path), c.size);
        // Removing leaves no file there; a folder is no file and is left alone.
        EXPECT_TRUE(RemoveFileIfPresent(c.path));
        EXPECT_FALSE(FileExists(c.path));
    }
    EXPECT_TRUE(fs::is_directory(At("folder")));
}

#ifndef _WIN32
TEST_F(StagingFiles, KillFileIsFalseWhenTheFileStays) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may delete anything";
    fs::create_directory(At("locked"));
    WriteFile(At("locked/file"), "x");
    fs::permissions(At("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(RemoveFileIfPresent(At("locked/file")));
    fs::permissions(At("locked"), fs::perms::owner_all);
}
#endif

TEST_F(StagingFiles, WriteBinaryCountsAndPositions) {
    struct Case {
        std::string text;
        std::int32_t count;
        std::string expected;
    };
    const Case cases[] = {
        {"PC", 1, "P"}, {"PC", 0, "PC"}, {"PC", -1, "PC"}, {"PC", 5, "PC"}, {"", -1, ""},
    };
    for (const auto& c : cases) {
        const std::string path = At("w" + std::to_string(c.count) + c.text);
        const std::int16_t n = OpenBinary(path);
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 255);
        EXPECT_EQ(NextWritePos[n], 1);
        WriteBinary(n, c.text, c.count);
        EXPECT_EQ(NextWritePos[n], 1 + static_cast<std::int32_t>(c.expected.size()));
        EXPECT_TRUE(CloseBinary(n));
        EXPECT_EQ(ReadFile(path), c.expected) << c.text << " count " << c.count;
    }
}

TEST_F(StagingFiles, ConsecutiveWritesFollowEachOther) {
    const std::int16_t n = OpenBinary(At("mode"));
    WriteBinary(n, "PC", -1);
    WriteBinary(n, "NU", -1);
    EXPECT_TRUE(CloseBinary(n));
    EXPECT_EQ(ReadFile(At("mode")), "PCNU");
    // Closing keeps the position; opening again starts at the first byte.
    EXPECT_EQ(NextWritePos[n], 5);
}

TEST_F(StagingFiles, OpenBinaryKeepsAnExistingFile) {
    WriteFile(At("ten"), "0123456789");
    const std::int16_t n = OpenBinary(At("ten"));
    WriteBinary(n, "PC", -1);
    CloseBinary(n);
    EXPECT_EQ(ReadFile(At("ten")), "PC23456789");
}

TEST_F(StagingFiles, AFailedOpenNamesNoFile) {
    const std::int16_t n = OpenBinary(At("nofolder/mode"));
    ASSERT_NE(n, 0);
    NextWritePos[n] = 7;
    WriteBinary(n, "PC", -1);
    EXPECT_EQ(NextWritePos[n], 7);
    EXPECT_TRUE(CloseBinary(n));
    // The number was never taken, so the next open gets it.
    const std::int16_t again = OpenBinary(At("mode"));
    EXPECT_EQ(again, n);
    CloseBinary(again);
}

TEST_F(StagingFiles, NumbersRunOutAfter255OpenFiles) {
    std::vector<std::int16_t> numbers;
    for (int i = 0; i < 255; ++i) numbers.push_back(OpenBinary(At("f" + std::to_string(i))));
    EXPECT_EQ(OpenBinary(At("one-too-many")), 0);
    for (int i = 0; i < 255; ++i) EXPECT_EQ(numbers[i], i + 1);
    for (std::int16_t n : numbers) EXPECT_TRUE(CloseBinary(n));
    const std::int16_t n = OpenBinary(At("after"));
    EXPECT_EQ(n, 1);
    CloseBinary(n);
}

TEST(WriteBinary, NumbersNamingNoFileDoNothing) {
    const std::int32_t before = NextWritePos[0];
    for (std::int16_t n : {std::int16_t{-1}, std::int16_t{0}, std::int16_t{256}})
        WriteBinary(n, "PC", -1);
    EXPECT_EQ(NextWritePos[0], before);
    EXPECT_FALSE(CloseBinary(-1));
    EXPECT_FALSE(CloseBinary(256));
    EXPECT_TRUE(CloseBinary(0));
}

}  // namespace
