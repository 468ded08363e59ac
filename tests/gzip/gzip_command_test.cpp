// The program's library: its command line, and a disk that fills up while it writes.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "gzip/deflate_engine.h"
#include "gzip/gzip_command.h"
#include "gzip/gzip_member.h"
#include "gzip_test_support.h"
#include "support/rom_like.h"

namespace pellix::gzip::testing {
namespace {

using Mode = GzipOptions::Mode;

TEST(ParseArguments, ReadsWhatTheBuildAndUsersType) {
    struct Case {
        std::vector<std::string> args;
        Mode mode;
        int level;
        bool toStdout, keep, force;
        std::vector<std::string> files;
    } cases[] = {
        {{"--best", "data/game"}, Mode::kPack, BestLevel(), false, false, false, {"data/game"}},
        {{"-9", "a", "b"}, Mode::kPack, BestLevel(), false, false, false, {"a", "b"}},
        {{"--fast", "-k", "a"}, Mode::kPack, 1, false, true, false, {"a"}},
        {{"-3"}, Mode::kPack, 3, false, false, false, {"-"}},
        {{"-dc", "x.gz"}, Mode::kUnpack, 6, true, false, false, {"x.gz"}},
        {{"-t", "-d", "x.gz"}, Mode::kTest, 6, false, false, false, {"x.gz"}},
        {{"-kf1", "-", "--", "-d"}, Mode::kPack, 1, false, true, true, {"-", "-d"}},
        // Long options cut short as getopt takes them; --rsyncable accepted.
        {{"--dec", "--std", "--rsyncable", "x.gz"}, Mode::kUnpack, 6, true, false, false, {"x.gz"}},
        {{"--decompress", "--stdout", "--keep", "--force", "y.gz"},
         Mode::kUnpack,
         6,
         true,
         true,
         true,
         {"y.gz"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const GzipOptions o = ParseArguments(c.args);
        EXPECT_EQ(o.mode, c.mode);
        EXPECT_EQ(o.level, c.level);
        EXPECT_EQ(o.toStdout, c.toStdout);
        EXPECT_EQ(o.keep, c.keep);
        EXPECT_EQ(o.force, c.force);
        EXPECT_EQ(o.files, c.files);
    }
}

TEST(ParseArguments, ReadsTheOptionsScriptsPass) {
    using Names = GzipOptions::Names;
    struct Case {
        std::vector<std::string> args;
        Mode mode;
        unsigned threads;
        std::string suffix;
        Names names;
        bool verbose, quiet, recursive, synchronous;
    } cases[] = {
        {{"-p", "2", "a"}, Mode::kPack, 2, ".gz", Names::kDefault, false, false, false, false},
        {{"-kp7"}, Mode::kPack, 7, ".gz", Names::kDefault, false, false, false, false},
        {{"--processes=3", "-S", ".x"}, Mode::kPack, 3, ".x", Names::kDefault, false, false,
         false, false},
        {{"--suffix", "_z", "-dN"}, Mode::kUnpack, 0, "_z", Names::kRestore, false, false, false,
         false},
        {{"-lv", "--no-name"}, Mode::kList, 0, ".gz", Names::kNone, true, false, false, false},
        {{"-rqt", "--synchronous"}, Mode::kTest, 0, ".gz", Names::kDefault, false, true, true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const GzipOptions o = ParseArguments(c.args);
        EXPECT_EQ(o.mode, c.mode);
        EXPECT_EQ(o.threads, c.threads);
        EXPECT_EQ(o.suffix, c.suffix);
        EXPECT_EQ(o.names, c.names);
        EXPECT_EQ(o.verbose, c.verbose);
        EXPECT_EQ(o.quiet, c.quiet);
        EXPECT_EQ(o.recursive, c.recursive);
        EXPECT_EQ(o.synchronous, c.synchronous);
    }
}

TEST(ParseArguments, RefusesOptionsItDoesNotHave) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-x", "a"}, "unknown option -x"},
        {{"-d0"}, "unknown option -0"},
        {{"--s"}, "ambiguous option --s"},
        {{"--best=9"}, "unknown option --best=9"},
        {{"-p", "0"}, "-p takes a number of threads from 1 to 1024, not \"0\""},
        {{"--processes=two"}, "-p takes a number of threads from 1 to 1024, not \"two\""},
        {{"-kS"}, "option -S needs a value"},
    };
    for (const auto& [args, message] : cases) {
        try {
            ParseArguments(args);
            ADD_FAILURE() << "accepted " << args[0];
        } catch (const UsageError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

// A disk with room for `room` more bytes: a write past it stores what fits and fails with
// ENOSPC, as a full disk does; `flushFails` plays a disk that only reports it at the end.
class FullDisk : public Disk {
  public:
    FullDisk(size_t room, bool flushFails) : room_(room), flushFails_(flushFails) {}
    bool Write(std::FILE* file, const uint8_t* data, size_t size) override {
        const size_t fits = std::min(size, room_);
        Disk::Write(file, data, fits);
        room_ -= fits;
        if (fits == size) return true;
        errno = ENOSPC;
        return false;
    }
    bool Flush(std::FILE* file) override {
        Disk::Flush(file);
        if (!flushFails_) return true;
        errno = ENOSPC;
        return false;
    }

  private:
    size_t room_;
    bool flushFails_;
};

class DiskFull : public GzipScratch {};

TEST_F(DiskFull, LeavesTheInputAndNoPartialOutput) {
    const Bytes rom = pellix::testing::MakeRomLike(400000);
    const Bytes packed = PackMember(rom.data(), rom.size(), 6, {"game", 0});
    const Bytes old = ToBytes("an older package");
    struct Case {
        const char* name;
        FileMap before;
        std::vector<std::string> args;
        size_t room;
        bool flushFails;
        std::string message;
    } cases[] = {
        {"nothing fits",
         {{"game", rom}},
         {"--best", "game"},
         0,
         false,
         "gzip: game.gz: cannot write: the disk is full\n"},
        {"half fits",
         {{"game", rom}},
         {"game"},
         60000,
         false,
         "gzip: game.gz: cannot write: the disk is full\n"},
        {"only the flush tells",
         {{"game", rom}},
         {"game"},
         SIZE_MAX,
         true,
         "gzip: game.gz: cannot write: the disk is full\n"},
        {"replacing with -f",
         {{"game", rom}, {"game.gz", old}},
         {"-f", "game"},
         1000,
         false,
         "gzip: game.gz: cannot write: the disk is full\n"},
        {"unpacking",
         {{"game.gz", packed}},
         {"-d", "game.gz"},
         100000,
         false,
         "gzip: game: cannot write: the disk is full\n"},
        {"to standard output",
         {{"game", rom}},
         {"-c", "game"},
         10,
         false,
         "gzip: stdout: cannot write: the disk is full\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [name, bytes] : c.before) Write(name, bytes);
        GzipOptions options = ParseArguments(c.args);
        options.files[options.files.size() - 1] = Path(options.files.back()).u8string();
        FullDisk disk(c.room, c.flushFails);
        Console console;
        console.out = std::tmpfile();
        console.err = std::tmpfile();
        ASSERT_TRUE(console.out && console.err);
        EXPECT_EQ(RunGzip(options, disk, console), 1);
        std::rewind(console.err);
        char line[512] = {};
        std::fgets(line, sizeof line, console.err);
        const std::string shown = line;
        // The message names the file as given: here with the scratch folder in front.
        const size_t slash = shown.find_last_of("/\\");
        const std::string message =
            slash == std::string::npos ? shown : "gzip: " + shown.substr(slash + 1);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(Files(), c.before);
        std::fclose(console.out);
        std::fclose(console.err);
        for (const auto& [name, bytes] : c.before) fs::remove(Path(name));
    }
}

TEST_F(DiskFull, AllWellWithRoomToSpareWritesOneMemberToStandardOutput) {
    const Bytes rom = pellix::testing::MakeRomLike(300000);
    Write("game", rom);
    GzipOptions options = ParseArguments({"-c", Path("game").u8string()});
    FullDisk disk(SIZE_MAX, false);
    Console console;
    console.out = std::tmpfile();
    ASSERT_TRUE(console.out);
    EXPECT_EQ(RunGzip(options, disk, console), 0);
    std::rewind(console.out);
    Bytes out;
    int c;
    while ((c = std::fgetc(console.out)) != EOF) out.push_back(static_cast<uint8_t>(c));
    std::fclose(console.out);
    const ZlibView zlib = InflateWithZlib(out);
    EXPECT_TRUE(zlib.ok && zlib.leftOver == 0 && zlib.data == rom) << zlib.error;
    EXPECT_EQ(Files(), (FileMap{{"game", rom}}));
}

}  // namespace
}  // namespace pellix::gzip::testing
