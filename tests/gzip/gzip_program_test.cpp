// The gzip program as the build and users run it: round trips that zlib and the system's
// gzip read back, its options, and each failure's message, exit status and leftovers.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <thread>

#include <functional>
#include <string>
#include <vector>

#include "gzip/deflate_engine.h"
#include "gzip_test_support.h"
#include "support/rom_like.h"
#include "system/atomic_file.h"

namespace pellix::gzip::testing {
namespace {

Bytes Noise(size_t size) {
    pellix::testing::SplitMix rng(11);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng.Next());
    return bytes;
}

class GzipProgram : public GzipScratch {};

TEST_F(GzipProgram, RoundTripsThroughZlibTheSystemGzipAndItselfWithAnyNumberOfThreads) {
    const Bytes rom = pellix::testing::MakeRomLike(32 << 20);
    struct Case {
        const char* file;
        Bytes bytes;
        std::vector<std::string> args;
    } cases[] = {
        {"empty", {}, {"--best"}},
        {"one", {0x5A}, {"--best"}},
        {"piece", Bytes(rom.begin(), rom.begin() + kPieceSize), {"--best"}},
        {"piece and a byte", Bytes(rom.begin(), rom.begin() + kPieceSize + 1), {"-6"}},
        {"game", rom, {"--best"}},
        {"noise", Noise(5 << 20), {"--best"}},
        {"Café ROM.gba", pellix::testing::MakeRomLike(70000), {"-1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string gz = std::string(c.file) + ".gz";
        Bytes first;
        fs::file_time_type stamp;
        for (const char* threads : {"1", "2", "7"}) {
            SCOPED_TRACE(std::string("-p ") + threads);
            Write(c.file, c.bytes);
            // The header holds the file's time: the same for every run.
            if (first.empty())
                stamp = fs::last_write_time(Path(c.file));
            else
                fs::last_write_time(Path(c.file), stamp);
            std::vector<std::string> args = c.args;
            args.insert(args.end(), {"-p", threads, c.file});
            const auto packed = Gzip(args);
            EXPECT_EQ(packed.exitCode, 0) << packed.err;
            EXPECT_EQ(packed.err, "");
            ASSERT_EQ(Files().size(), 1u);
            ASSERT_TRUE(fs::exists(Path(gz)));
            const Bytes file = Read(gz);
            if (first.empty()) first = file;
            EXPECT_TRUE(file == first) << "other bytes than with -p 1";
            if (file != first || *threads != '1') {
                fs::remove(Path(gz));
                continue;
            }

            const ZlibView zlib = InflateWithZlib(file);
            EXPECT_TRUE(zlib.ok) << zlib.error;
            EXPECT_EQ(zlib.leftOver, 0u) << "more than one member";
            EXPECT_TRUE(zlib.data == c.bytes);
            if (*SYSTEM_GZIP) {
                const auto system =
                    pellix::testing::RunProgram(SYSTEM_GZIP, {"-dc", gz}, dir_.string());
                EXPECT_EQ(system.exitCode, 0) << system.err;
                EXPECT_TRUE(ToBytes(system.out) == c.bytes);
            }
            const auto unpacked = Gzip({"-d", gz});
            EXPECT_EQ(unpacked.exitCode, 0) << unpacked.err;
            EXPECT_EQ(Files(), (FileMap{{c.file, c.bytes}}));
            fs::remove(Path(c.file));
        }
    }
}

// Every file under `dir` with its content, by path relative to it ("d/s/b"); packed files
// (those starting as gzip does) by what they unpack to, behind "gz:", since two gzips
// pack the same data into other bytes.
FileMap Tree(const fs::path& dir, const FileMap& given) {
    FileMap files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_directory()) continue;
        const std::string name = fs::relative(entry.path(), dir).generic_u8string();
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto was = given.find(name);
        const bool unchanged = was != given.end() && was->second == bytes;
        if (!unchanged && bytes.size() > 2 && bytes[0] == 0x1F && bytes[1] == 0x8B) {
            Bytes unpacked = ToBytes("gz:");
            const Bytes data = InflateWithZlib(bytes).data;
            unpacked.insert(unpacked.end(), data.begin(), data.end());
            bytes = unpacked;
        }
        files[name] = bytes;
    }
    return files;
}

TEST_F(GzipProgram, BehavesAsGnuGzipDoes) {
    // "abc" packed by GNU gzip from a file named "orig", and the same without the name.
    const Bytes named = {0x1f, 0x8b, 0x08, 0x08, 0xa5, 0x5d, 0x0d, 0x5e, 0x00, 0x03, 0x6f,
                         0x72, 0x69, 0x67, 0x00, 0x4b, 0x4c, 0x4a, 0x06, 0x00, 0xc2, 0x41,
                         0x24, 0x35, 0x03, 0x00, 0x00, 0x00};
    const Bytes plain = {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x4b, 0x4c,
                         0x4a, 0x06, 0x00, 0xc2, 0x41, 0x24, 0x35, 0x03, 0x00, 0x00, 0x00};
    Bytes garbage = plain;
    for (char c : std::string("xyz")) garbage.push_back(static_cast<uint8_t>(c));
    const Bytes abc = ToBytes("abc"), packedAbc = ToBytes("gz:abc");
    const auto oldTime = [](const fs::path& file) {
#ifdef _WIN32
        (void)file;  // wine keeps no time before 1970: the case is the Linux one's
#else
        const timespec times[2] = {{0, UTIME_OMIT}, {-315619200, 0}};  // 1960-01-01
        utimensat(AT_FDCWD, file.c_str(), times, 0);
#endif
    };
    struct Case {
        const char* name;
        FileMap before;
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        FileMap after;  // files left; packed ones by what they unpack to
        std::function<void(const fs::path&)> arrange = nullptr;
        bool posixOnly = false;
    } cases[] = {
        {"-cdf passes what is not gzip on", {{"t", ToBytes("plain")}}, {"-cdf", "t"}, 0, "plain",
         {{"t", ToBytes("plain")}}},
        {"-cdf passes an empty file on", {{"e", {}}}, {"-cdf", "e"}, 0, "", {{"e", {}}}},
        {"trailing garbage: the data and a warning", {{"g.gz", garbage}}, {"-dc", "g.gz"}, 2,
         "abc", {{"g.gz", garbage}}},
        {"trailing garbage: the file is unpacked", {{"g.gz", garbage}}, {"-d", "g.gz"}, 2, "",
         {{"g", abc}}},
        {"-q hides the warning, not its status", {{"g.gz", garbage}}, {"-qdc", "g.gz"}, 2, "abc",
         {{"g.gz", garbage}}},
        {"-l lists sizes and the ratio", {{"a.gz", plain}}, {"-l", "a.gz"}, 0,
         "         compressed        uncompressed  ratio uncompressed_name\n"
         "                 23                   3 -66.7% a\n",
         {{"a.gz", plain}}},
        {"-S packs to another suffix", {{"a", abc}}, {"-S", ".x", "a"}, 0, "",
         {{"a.x", packedAbc}}},
        {"-S unpacks from it", {{"a.x", plain}}, {"--suffix=.x", "-d", "a.x"}, 0, "", {{"a", abc}}},
        {"-N unpacks to the stored name", {{"x.gz", named}}, {"-dN", "x.gz"}, 0, "",
         {{"orig", abc}}},
        {"without -N the file's own name", {{"x.gz", named}}, {"-d", "x.gz"}, 0, "",
         {{"x", abc}}},
        {"-n and --synchronous", {{"a", abc}}, {"-n", "--synchronous", "a"}, 0, "",
         {{"a.gz", packedAbc}}},
        {"-r packs a folder's files", {{"d/a", abc}, {"d/s/b", abc}}, {"-r", "d"}, 0, "",
         {{"d/a.gz", packedAbc}, {"d/s/b.gz", packedAbc}}},
        {"-dr unpacks them", {{"d/a.gz", plain}, {"d/s/b.gz", plain}, {"d/c", abc}}, {"-dr", "d"},
         0, "", {{"d/a", abc}, {"d/s/b", abc}, {"d/c", abc}}},
        {"a usage error exits 1", {{"a", abc}}, {"-Q", "a"}, 1, "", {{"a", abc}}},
        {"upper-case .GZ", {{"A.GZ", plain}}, {"-d", "A.GZ"}, 0, "", {{"A", abc}}},
        {"the other suffixes", {{"b-gz", plain}, {"c.z", plain}, {"d.tgz", plain}},
         {"-d", "b-gz", "c.z", "d.tgz"}, 0, "", {{"b", abc}, {"c", abc}, {"d.tar", abc}}},
        {"a time gzip cannot store: 0 and a warning", {{"a", abc}}, {"-k", "a"}, 2, "",
         {{"a", abc}, {"a.gz", packedAbc}}, oldTime, true},
        {"-c reads a device", {}, {"-c", "/dev/null"}, 0, "", {}, nullptr, true},
    };
    const fs::path ours = dir_ / "ours", gnu = dir_ / "gnu";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
#ifdef _WIN32
        if (c.posixOnly) continue;
#endif
        for (const fs::path& where : {ours, gnu}) {
            fs::remove_all(where);
            fs::create_directories(where);
            for (const auto& [name, bytes] : c.before) {
                fs::create_directories((where / fs::u8path(name)).parent_path());
                std::ofstream(where / fs::u8path(name), std::ios::binary)
                    .write(reinterpret_cast<const char*>(bytes.data()),
                           static_cast<std::streamsize>(bytes.size()));
                if (c.arrange) c.arrange(where / fs::u8path(name));
            }
        }
        std::vector<std::pair<std::string, std::string>> programs = {{"ours", GZIP_PROGRAM}};
        if (*SYSTEM_GZIP) programs.push_back({"gnu", SYSTEM_GZIP});
        for (const auto& [who, program] : programs) {
            SCOPED_TRACE(who);
            const auto run = pellix::testing::RunProgram(program, c.args, (dir_ / who).string());
            EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
            const bool packedOut = c.args[0] == "-c";
            EXPECT_EQ(packedOut ? std::string() : run.out, c.out);
            if (packedOut) {
                EXPECT_TRUE(InflateWithZlib(ToBytes(run.out)).ok);
            }
            // Warnings and failures say so in one line; -q says nothing.
            EXPECT_EQ(run.err.empty(), c.exitCode == 0 || c.args[0] == "-qdc") << run.err;
            EXPECT_EQ(Tree(dir_ / who, c.before), c.after);
        }
    }
}

TEST_F(GzipProgram, OptionsDoWhatGzipsDo) {
    const Bytes a = pellix::testing::MakeRomLike(50000, 1);
    const Bytes b = pellix::testing::MakeRomLike(50000, 2);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::function<void()> arrange;
        std::function<void()> check;
    } cases[] = {
        {"-k keeps the input",
         {"-k", "a"},
         [&] { Write("a", a); },
         [&] {
             EXPECT_TRUE(Read("a") == a);
             EXPECT_TRUE(InflateWithZlib(Read("a.gz")).data == a);
         }},
        {"-f replaces an older .gz",
         {"-f", "a"},
         [&] {
             Write("a", a);
             Write("a.gz", ToBytes("old"));
         },
         [&] {
             EXPECT_FALSE(fs::exists(Path("a")));
             EXPECT_TRUE(InflateWithZlib(Read("a.gz")).data == a);
         }},
        {"-d joins concatenated members",
         {"-d", "ab.gz"},
         [&] {
             Write("a", a);
             Write("b", b);
             Gzip({"a", "b"});
             Bytes both = Read("a.gz");
             const Bytes second = Read("b.gz");
             both.insert(both.end(), second.begin(), second.end());
             Write("ab.gz", both);
             fs::remove(Path("a.gz"));
             fs::remove(Path("b.gz"));
         },
         [&] {
             Bytes both = a;
             both.insert(both.end(), b.begin(), b.end());
             EXPECT_EQ(Files(), (FileMap{{"ab", both}}));
         }},
        {"-t checks and writes nothing",
         {"-t", "a.gz"},
         [&] {
             Write("a", a);
             Gzip({"a"});
         },
         [&] { EXPECT_EQ(Files().size(), 1u); }},
        {"-dNf never unpacks over its own input (GNU gzip loses both)",
         {"-dNf", "x.gz"},
         [&] {
             // "abc" in a member that names itself "x.gz".
             Write("x.gz", {0x1f, 0x8b, 0x08, 0x08, 0, 0, 0, 0, 0, 3, 'x', '.', 'g', 'z',
                            0,    0x4b, 0x4c, 0x4a, 0x06, 0x00, 0xc2, 0x41, 0x24, 0x35, 3, 0, 0, 0});
         },
         [&] { EXPECT_EQ(Files(), (FileMap{{"x", ToBytes("abc")}})); }},
        {"-dk unpacks and keeps",
         {"-dk", "a.gz"},
         [&] {
             Write("a", a);
             Gzip({"a"});
         },
         [&] {
             EXPECT_TRUE(Read("a") == a);
             EXPECT_TRUE(fs::exists(Path("a.gz")));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const auto run = Gzip(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        c.check();
        for (const auto& [name, bytes] : Files()) fs::remove(Path(name));
    }
}

TEST_F(GzipProgram, StandardInputToStandardOutput) {
    // The runner gives an empty standard input: the output is one member of nothing.
    const auto run = Gzip({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const ZlibView zlib = InflateWithZlib(ToBytes(run.out));
    EXPECT_TRUE(zlib.ok && zlib.data.empty() && zlib.leftOver == 0) << zlib.error;
    EXPECT_EQ(Gzip({"-d"}).err, "gzip: stdin: not in gzip format: the file is empty\n");
}

// How this test can make a file unreadable or a folder read-only for the gzip it runs:
// file permissions bind any user but root, and CI runs as root. As root the program is
// run as the user "nobody" (setpriv), and the scratch folder is opened up for that user.
// Empty when neither works; `why` then says so.
std::vector<std::string> RunnerBoundByPermissions(const fs::path& dir, std::string& why) {
#ifdef _WIN32
    (void)dir;
    why =
        "no read-only folder under wine: a folder's read-only mark does not stop writes on "
        "Windows, and wine's own user may write to the Unix folder behind it";
    return {};
#else
    if (geteuid() != 0) return {GZIP_PROGRAM};
    const std::vector<std::string> runner = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                             "--clear-groups", GZIP_PROGRAM};
    chmod(dir.c_str(), 0755);
    const auto probe =
        pellix::testing::RunProgram(runner[0], {runner.begin() + 1, runner.end()}, dir.string());
    // gzip without files packs the empty standard input: exit 0 when it ran as "nobody".
    if (probe.exitCode != 0) {
        why = "running as root, and cannot run the program as nobody through setpriv: " + probe.err;
        return {};
    }
    return runner;
#endif
}

// Failures (exit status 1) and warnings (2, or 0 for a file that is packed already, as in
// GNU gzip) leave every file as it was.
TEST_F(GzipProgram, FailuresLeaveEverythingAsItWas) {
    const Bytes rom = pellix::testing::MakeRomLike(200000);
    const Bytes gz = [&] {
        Write("tmp", rom);
        Gzip({"tmp"});
        const Bytes packed = Read("tmp.gz");
        fs::remove(Path("tmp.gz"));
        return packed;
    }();
    Bytes badCrc = gz;
    badCrc[gz.size() - 6] ^= 0x10;
    struct Case {
        const char* name;
        FileMap before;
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {"missing input", {}, {"--best", "game"}, 1, "gzip: game: no such file\n"},
        {"output there without -f",
         {{"game", rom}, {"game.gz", ToBytes("old")}},
         {"--best", "game"},
         2,
         "gzip: game.gz: already exists; not replaced (-f replaces it)\n"},
        {"input is a folder",
         {{"game", ToBytes("<folder>")}},
         {"game"},
         2,
         "gzip: game: is a folder, left alone\n"},
        {"packing a .gz",
         {{"game.gz", gz}},
         {"game.gz"},
         0,
         "gzip: game.gz: already has the .gz suffix, left alone\n"},
        {"unpacking without .gz",
         {{"game", gz}},
         {"-d", "game"},
         2,
         "gzip: game: unknown suffix (not .gz or another gzip knows), left alone\n"},
        {"unpacking a CRC mismatch",
         {{"game.gz", badCrc}},
         {"-d", "game.gz"},
         1,
         "gzip: game.gz: corrupt: CRC mismatch\n"},
        {"unpacking a cut file",
         {{"game.gz", Bytes(gz.begin(), gz.begin() + 1000)}},
         {"-d", "game.gz"},
         1,
         "gzip: game.gz: corrupt: the packed data is damaged or cut short\n"},
        {"unpacking plain text",
         {{"game.gz", ToBytes("hello")}},
         {"-d", "game.gz"},
         1,
         "gzip: game.gz: not in gzip format\n"},
        {"testing a CRC mismatch",
         {{"game.gz", badCrc}},
         {"-t", "game.gz"},
         1,
         "gzip: game.gz: corrupt: CRC mismatch\n"},
        {"one bad of three",
         {{"a", rom}, {"c", rom}},
         {"-k", "a", "b", "c"},
         1,
         "gzip: b: no such file\n"},
        {"an option gzip lacks",
         {{"game", rom}},
         {"-x", "game"},
         1,
         "gzip: unknown option -x; usage: gzip [-1..-9|--fast|--best] [-cdfklnNqrtv] [-p N] "
         "[-S SUF] [--synchronous] [FILE...]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [name, bytes] : c.before) {
            if (bytes == ToBytes("<folder>"))
                fs::create_directory(Path(name));
            else
                Write(name, bytes);
        }
        const auto run = Gzip(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.message);
        FileMap after = Files();
        if (std::string(c.name) == "one bad of three") {
            // The good ones were packed all the same.
            EXPECT_TRUE(InflateWithZlib(after["a.gz"]).data == rom);
            EXPECT_TRUE(InflateWithZlib(after["c.gz"]).data == rom);
            after.erase("a.gz");
            after.erase("c.gz");
        }
        EXPECT_EQ(after, c.before);
        fs::remove_all(Path("game"));
        for (const auto& [name, bytes] : Files()) fs::remove(Path(name));
    }
}

TEST_F(GzipProgram, InputTooLargeForMemoryIsRefused) {
    // A sparse file: its size is what counts, nothing is read.
    { std::ofstream(Path("huge"), std::ios::binary); }
    fs::resize_file(Path("huge"), (uintmax_t{1} << 30) + 1);
    const auto run = Gzip({"--best", "huge"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "gzip: huge: too large: 1073741825 bytes, at most 1073741824 (this gzip packs in "
              "memory)\n");
    EXPECT_EQ(fs::file_size(Path("huge")), (uintmax_t{1} << 30) + 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

#ifndef _WIN32
// Runs gzip with `args` under `runner` (from RunnerBoundByPermissions).
pellix::testing::RunResult RunWith(const std::vector<std::string>& runner,
                                   std::vector<std::string> args, const fs::path& dir) {
    args.insert(args.begin(), runner.begin() + 1, runner.end());
    return pellix::testing::RunProgram(runner[0], args, dir.string());
}
#endif

TEST_F(GzipProgram, UnreadableInputIsLeftAlone) {
    const Bytes rom = pellix::testing::MakeRomLike(100000);
    Write("game", rom);
#ifdef _WIN32
    // A file another program holds open without sharing cannot be read.
    HANDLE held = CreateFileW(Path("game").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const auto run = Gzip({"--best", "game"});
    CloseHandle(held);
#else
    std::string why;
    const std::vector<std::string> runner = RunnerBoundByPermissions(dir_, why);
    if (runner.empty()) GTEST_SKIP() << why;
    chmod(Path("game").c_str(), 0);
    const auto run = RunWith(runner, {"--best", "game"}, dir_);
    chmod(Path("game").c_str(), 0644);
#endif
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "gzip: game: permission denied\n");
    EXPECT_EQ(Files(), (FileMap{{"game", rom}}));
}

TEST_F(GzipProgram, ReadOnlyFolderGetsNoOutput) {
    const Bytes rom = pellix::testing::MakeRomLike(100000);
    Write("game", rom);
    std::string why;
    const std::vector<std::string> runner = RunnerBoundByPermissions(dir_, why);
    if (runner.empty()) GTEST_SKIP() << why;
#ifndef _WIN32
    chmod(dir_.c_str(), 0555);
    const auto run = RunWith(runner, {"--best", "game"}, dir_);
    chmod(dir_.c_str(), 0755);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "gzip: game.gz: cannot write: permission denied\n");
    EXPECT_EQ(Files(), (FileMap{{"game", rom}}));
#endif
}

#ifndef _WIN32
// Starts gzip with `args` in `dir`: standard input from `in`, standard output to `out`, its
// address space held to `memory` bytes (0: no limit). Returns its process id.
pid_t Start(const std::vector<std::string>& args, const fs::path& dir, const std::string& in,
            const std::string& out, rlim_t memory = 0) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int input = open(in.c_str(), O_RDONLY);
    const int output = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || output < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0 ||
        chdir(dir.c_str()) != 0)
        _exit(126);
    if (memory) {
        const rlimit limit{memory, memory};
        setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> argv{const_cast<char*>(GZIP_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(GZIP_PROGRAM, argv.data());
    _exit(127);
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(GzipProgram, TestsAndUnpacksAsAStreamInBoundedMemory) {
    // 1.25 GiB of zeros in 20 members of 64 MiB each: more than the old in-memory limit,
    // and four times the memory the program is given.
    Write("z", Bytes(size_t{64} << 20, 0));
    ASSERT_EQ(Gzip({"-1", "z"}).exitCode, 0);
    const Bytes member = Read("z.gz");
    {
        std::ofstream big(Path("big.gz"), std::ios::binary);
        for (int i = 0; i < 20; ++i)
            big.write(reinterpret_cast<const char*>(member.data()),
                      static_cast<std::streamsize>(member.size()));
    }
    const rlim_t memory = rlim_t{300} << 20;
    EXPECT_EQ(Wait(Start({"-t", "big.gz"}, dir_, "/dev/null", "/dev/null", memory)), 0);
    EXPECT_EQ(Wait(Start({"-dc", "big.gz"}, dir_, "/dev/null", "/dev/null", memory)), 0);
}

TEST_F(GzipProgram, ReadsPipesAndDevicesForStandardOutput) {
    const Bytes rom = pellix::testing::MakeRomLike(300000);
    Write("game", rom);
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(Gzip({"-k", "game"}).exitCode, 0);
    const Bytes packed = Read("game.gz");
    struct Case {
        const char* name;
        std::vector<std::string> args;
        Bytes fed;       // written into the pipe
        bool packedOut;  // the output is packed: compared by what it unpacks to
    } cases[] = {
        {"-c of a pipe by name", {"-c", "fifo"}, rom, true},
        {"-c of /dev/stdin", {"-c", "/dev/stdin"}, rom, true},
        {"-dc of /dev/stdin", {"-dc", "/dev/stdin"}, packed, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The pipe is both the named input and standard input: the program opens one of them.
        std::thread feeder([&] {
            std::ofstream(Path("fifo"), std::ios::binary)
                .write(reinterpret_cast<const char*>(c.fed.data()),
                       static_cast<std::streamsize>(c.fed.size()));
        });
        const std::string in = c.args[1] == "fifo" ? "/dev/null" : Path("fifo").string();
        const int status = Wait(Start(c.args, dir_, in, Path("out").string()));
        feeder.join();
        EXPECT_EQ(status, 0);
        const Bytes out = Read("out");
        EXPECT_TRUE((c.packedOut ? InflateWithZlib(out).data : out) == rom);
        fs::remove(Path("out"));
    }
}

TEST_F(GzipProgram, StoppedBySignalLeavesNoTemporaryFile) {
    const Bytes rom = pellix::testing::MakeRomLike(32 << 20);
    for (int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        Write("game", rom);
        const pid_t pid = Start({"--best", "-p", "1", "game"}, dir_, "/dev/null", "/dev/null");
        // Stop it once its temporary file is there; it is there from before packing starts.
        bool seen = false;
        for (int i = 0; i < 2000 && !seen; ++i) {
            for (const auto& entry : fs::directory_iterator(dir_))
                seen = seen || pellix::os::IsTemporaryName(entry.path().filename().u8string());
            if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        kill(pid, sig);
        EXPECT_EQ(Wait(pid), 128 + sig);
        EXPECT_TRUE(seen);
        EXPECT_EQ(Files(), (FileMap{{"game", rom}}));
    }
}

TEST_F(GzipProgram, AKilledRunLeavesOnlyWhatTheNextSweepRemoves) {
    // SIGKILL cannot be caught: the temporary file stays, and its free lock tells a later
    // sweep that its writer is gone; while the writer runs, the sweep leaves it alone.
    const Bytes rom = pellix::testing::MakeRomLike(32 << 20);
    Write("game", rom);
    const pid_t pid = Start({"--best", "-p", "1", "game"}, dir_, "/dev/null", "/dev/null");
    std::string temporary;
    for (int i = 0; i < 2000 && temporary.empty(); ++i) {
        for (const auto& entry : fs::directory_iterator(dir_))
            if (pellix::os::IsTemporaryName(entry.path().filename().u8string()))
                temporary = entry.path().filename().u8string();
        if (temporary.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(temporary.empty());
    EXPECT_LE(temporary.size(), std::string("game.gz").size());
    EXPECT_EQ(pellix::os::RemoveAbandonedFiles(dir_.u8string()), 0);
    kill(pid, SIGKILL);
    EXPECT_EQ(Wait(pid), 128 + SIGKILL);
    EXPECT_TRUE(fs::exists(Path(temporary)));
    EXPECT_EQ(pellix::os::RemoveAbandonedFiles(dir_.u8string()), 1);
    EXPECT_EQ(Files(), (FileMap{{"game", rom}}));
}

TEST_F(GzipProgram, NamesUpToTheLimitPackAndUnpack) {
    const Bytes rom = pellix::testing::MakeRomLike(20000);
    const std::string name(255 - 3, 'n');  // with .gz exactly 255 bytes
    Write(name, rom);
    const auto packed = Gzip({name});
    EXPECT_EQ(packed.exitCode, 0) << packed.err;
    ASSERT_EQ(Files().size(), 1u);
    EXPECT_TRUE(InflateWithZlib(Read(name + ".gz")).data == rom);
    const auto unpacked = Gzip({"-d", name + ".gz"});
    EXPECT_EQ(unpacked.exitCode, 0) << unpacked.err;
    EXPECT_EQ(Files(), (FileMap{{name, rom}}));
}

TEST_F(GzipProgram, HelpAndVersionThatCannotBeWrittenFail) {
    for (const char* option : {"--help", "--version"}) {
        SCOPED_TRACE(option);
        EXPECT_EQ(Wait(Start({option}, dir_, "/dev/null", "/dev/full")), 1);
        EXPECT_EQ(Wait(Start({option}, dir_, "/dev/null", "/dev/null")), 0);
    }
}
#endif

}  // namespace
}  // namespace pellix::gzip::testing
