// Tests of the builder's Windows side, run under Windows or wine: drives and separators,
// wide names, the tool runner's command line and handles, and a whole build.
#include <direct.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "builder/app_directory.h"
#include "builder/build_pipeline.h"
#include "system/command_line.h"
#include "system/files.h"
#include "builder/staging_files.h"
#include "builder/shell_wait.h"
#include "test_support.h"

namespace fs = std::filesystem;
using pellix::QuoteArgument;
using pellix::modShellWait::RunAndWait;
using pellix::modShellWait::RunResult;
using pellix::test::ReadFile;
using pellix::test::WriteFile;

namespace {

std::string CurrentDirectory() {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryW(MAX_PATH, buffer);
    return fs::path(std::wstring(buffer, n)).u8string();
}

int DriveNumber(const std::string& path) {
    return std::toupper(static_cast<unsigned char>(path.at(0))) - 'A' + 1;
}

std::string ToBackslashes(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A scratch folder with a space in its name beside the test program, so on the program's
// drive (Z: under wine), while the system's temporary folder lies on C:.
class WindowsSide : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        static std::atomic<int> counter{0};
        const fs::path exeDir = fs::u8path(pellix::os::ExecutablePath()).parent_path();
        dir_ = exeDir / ("win side " + std::to_string(::GetCurrentProcessId()) + "-" +
                         std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        pellix::modShellWait::SetEventPump({});
        fs::current_path(previous_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string At(const std::string& relative) const {
        return (dir_ / fs::u8path(relative)).u8string();
    }
    // The probe program copied to `relative` below the scratch folder.
    std::string InstallProbe(const std::string& relative) const {
        const fs::path to = dir_ / fs::u8path(relative);
        fs::create_directories(to.parent_path());
        fs::copy_file(
            fs::u8path(pellix::os::ExecutablePath()).parent_path() / "pellix_args_probe.exe", to,
            fs::copy_options::overwrite_existing);
        return to.u8string();
    }

    fs::path previous_;
    fs::path dir_;
    pellix::test::TempDir temp_{"pellix-win"};  // on the temporary folder's drive
};

TEST(WindowsApplicationDirectory, IsTheExecutablesFolderWithItsDrive) {
    const std::string exe = pellix::os::ExecutablePath();
    ASSERT_GE(exe.size(), 3u);
    EXPECT_EQ(exe.substr(1, 2), ":\\") << exe;
    EXPECT_EQ(exe.substr(exe.size() - 4), ".exe") << exe;
    const std::string dir = pellix::ApplicationDirectory();
    EXPECT_EQ(dir, exe.substr(0, exe.find_last_of('\\')));
    EXPECT_NE(dir.back(), '\\');
    EXPECT_TRUE(fs::is_directory(fs::u8path(dir)));

    pellix::SetApplicationDirectory(R"(Z:\Tools\Pellix\)");
    EXPECT_EQ(pellix::ApplicationDirectory(), R"(Z:\Tools\Pellix)");
    pellix::SetApplicationDirectory("");
    EXPECT_EQ(pellix::ApplicationDirectory(), dir);
}

TEST_F(WindowsSide, ChangeDirectoryTakesTheDriveThenTheFolder) {
    fs::create_directories(dir_ / "bin folder");
    const std::string target = At("bin folder");
    const std::string forward = [&] {
        std::string p = target;
        for (char& c : p)
            if (c == '\\') c = '/';
        return p;
    }();
    const std::string mixed = dir_.u8string() + "/bin folder";
    for (const std::string& path : {target, forward, mixed}) {
        SCOPED_TRACE(path);
        fs::current_path(temp_.path());
        pellix::os::ChangeDirectory(path);
        EXPECT_EQ(CurrentDirectory(), ToBackslashes(target));
        EXPECT_EQ(::_getdrive(), DriveNumber(target));
    }
}

TEST_F(WindowsSide, AFailedChangeNamesTheFolderAndStaysPut) {
    const DWORD drives = ::GetLogicalDrives();
    char freeDrive = 0;
    for (char letter = 'Y'; letter > 'C' && !freeDrive; --letter)
        if (!(drives & (1u << (letter - 'A')))) freeDrive = letter;
    ASSERT_NE(freeDrive, 0) << "every drive letter is in use";
    const std::string noDrive = std::string(1, freeDrive) + R"(:\pellix\bin)";
    const std::string noFolder = At("no such folder");
    struct Case {
        std::string path, message;
    };
    const Case cases[] = {
        {noDrive, "cannot enter the folder " + noDrive + ": there is no drive " +
                      std::string(1, freeDrive) + ":"},
        {noFolder, "cannot enter the folder " + noFolder + ": no such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        fs::current_path(temp_.path());
        const std::string before = CurrentDirectory();
        try {
            pellix::os::ChangeDirectory(c.path);
            ADD_FAILURE() << "no error";
        } catch (const pellix::files::FileError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(CurrentDirectory(), before);
    }
}

TEST_F(WindowsSide, FileHelpersTakeBothSeparatorsAndNamesOutsideTheCodePage) {
    fs::create_directories(dir_ / fs::u8path(u8"sub \u03a9"));
    const std::string file = dir_.u8string() + u8"/sub \u03a9\\Caf\u00e9 \u2603.gba";
    const std::string copy = dir_.u8string() + u8"\\sub \u03a9/copy \u00e9.gba";

    const std::int16_t number = pellix::files::OpenBinary(file);
    ASSERT_GT(number, 0);
    pellix::files::WriteBinary(number, "PC", -1);
    EXPECT_TRUE(pellix::files::CloseBinary(number));
    const fs::path wide = dir_ / fs::path(L"sub \u03a9") / fs::path(L"Caf\u00e9 \u2603.gba");
    EXPECT_EQ(ReadFile(wide), "PC");

    EXPECT_TRUE(pellix::files::FileExists(file));
    EXPECT_EQ(pellix::files::FileSizeOrZero(file), 2);
    EXPECT_EQ(pellix::files::BaseName(file, ".GBA"), u8"Caf\u00e9 \u2603");
    EXPECT_TRUE(pellix::files::CopyFileTo(file, copy));
    EXPECT_EQ(ReadFile(dir_ / fs::path(L"sub \u03a9") / fs::path(L"copy \u00e9.gba")), "PC");
    EXPECT_TRUE(pellix::files::RemoveFileIfPresent(file));
    EXPECT_TRUE(pellix::files::RemoveFileIfPresent(copy));
    EXPECT_FALSE(fs::exists(wide));
}

// A read-only file in the scratch folder, made writable again when the test ends.
class ReadOnlyFile : public WindowsSide {
  protected:
    void SetUp() override {
        WindowsSide::SetUp();
        locked_ = (dir_ / "locked").wstring();
        WriteFile(dir_ / "locked", "OLD");
        ASSERT_TRUE(::SetFileAttributesW(locked_.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    void TearDown() override {
        ::SetFileAttributesW(locked_.c_str(), FILE_ATTRIBUTE_NORMAL);
        WindowsSide::TearDown();
    }
    // Whether the file system refuses to open the file for writing (wine run by root
    // does not: it maps the flag to permission bits that root ignores).
    bool WritesRefused() const {
        HANDLE h = ::CreateFileW(locked_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return true;
        ::CloseHandle(h);
        return false;
    }
    std::wstring locked_;
};

TEST_F(ReadOnlyFile, IsNotDeleted) {
    EXPECT_FALSE(pellix::files::RemoveFileIfPresent(At("locked")));
    EXPECT_EQ(ReadFile(dir_ / "locked"), "OLD");
}

TEST_F(ReadOnlyFile, IsNotReplacedByACopy) {
    if (!WritesRefused()) GTEST_SKIP() << "this file system lets read-only files be written";
    WriteFile(dir_ / "source", "NEW");
    try {
        pellix::files::CopyFileTo(At("source"), At("locked"));
        ADD_FAILURE() << "no error";
    } catch (const pellix::files::FileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot copy " + At("source") + " to " + At("locked") + ": permission denied");
    }
    EXPECT_EQ(ReadFile(dir_ / "locked"), "OLD");
}

TEST_F(WindowsSide, TheProgramGetsTheWideCommandLineUnchangedAndNoConsoleOrInput) {
    const std::string probe = InstallProbe(u8"my tools \u03a9\\args probe.exe");
    fs::current_path(dir_);
    const std::string title = u8"Caf\u00e9 \"\u2603\"; \\ end\\";
    const RunResult r =
        RunAndWait(QuoteArgument(probe) + " " + QuoteArgument(title) + " plain \"two words\"");
    ASSERT_TRUE(r.started) << r.errorText;
    EXPECT_EQ(r.exitCode, 0);
    const std::vector<std::string> expected = {probe,       title,     "plain",
                                               "two words", "stdin 0", "console none"};
    EXPECT_EQ(Lines(ReadFile(dir_ / "probe.txt")), expected);
}

TEST_F(WindowsSide, ExitStatusStartFailuresAndStandardError) {
    const std::string probe = InstallProbe("my tools\\probe.exe");
    fs::current_path(dir_);
    struct Case {
        std::string line;
        bool started;
        int exitCode;
        std::string errorText;
    };
    const std::string missing = At("my tools\\missing.exe");
    const std::string noExtension = probe.substr(0, probe.size() - 4);
    const Case cases[] = {
        {QuoteArgument(probe) + " --exit 0", true, 0, ""},
        {QuoteArgument(probe) + " --exit 7", true, 7, ""},
        {QuoteArgument(probe) + " --exit -1", true, -1, ""},
        {QuoteArgument(probe) + " --stderr 2 --exit 1", true, 1, "line 1\nline 2\n"},
        // A program path without an extension means the .exe, as when Windows searches.
        {QuoteArgument(noExtension) + " --exit 3", true, 3, ""},
        {QuoteArgument(missing) + " x", false, -1, "cannot start " + missing + ": no such file"},
        {QuoteArgument(probe) + " \xff\xfe", false, -1,
         "cannot start " + probe + ": the command line is not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const RunResult r = RunAndWait(c.line);
        EXPECT_EQ(r.started, c.started);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.errorText, c.errorText);
    }
}

TEST_F(WindowsSide, LongStandardErrorLosesEveryCarriageReturnButNoLine) {
    const std::string probe = InstallProbe("probe.exe");
    fs::current_path(dir_);
    // About 3.3 KB in many pipe reads, so line ends fall across read boundaries.
    const RunResult r = RunAndWait(QuoteArgument(probe) + " --stderr 400");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.errorText.find('\r'), std::string::npos);
    const std::vector<std::string> lines = Lines(r.errorText);
    ASSERT_EQ(lines.size(), 400u);
    EXPECT_EQ(lines.front(), "line 1");
    EXPECT_EQ(lines.back(), "line 400");
}

TEST_F(WindowsSide, AWholeBuildFromAnotherDriveWithSpacesAndBothSeparators) {
    const fs::path app = dir_ / "My Tools" / "pellix";
    const fs::path bin = app / "bin";
    fs::create_directories(bin / "data");
    fs::create_directories(app / "gfx");
    fs::create_directories(dir_ / "my roms" / "out");
    pellix::test::InstallFakeTools(bin);
    WriteFile(bin / "7.bin", "ARM7");
    WriteFile(bin / "9.bin", "ARM9");
    WriteFile(app / "gfx" / "icon.bmp", "ICON");
    WriteFile(app / "gfx" / "border.bmp", "BORDER");
    WriteFile(dir_ / "my roms" / fs::path(L"Caf\u00e9.gba"), "ROM");

    WriteFile(bin / "tool-log.txt", "");
    pellix::BuildRequest request;
    request.rom = dir_.u8string() + u8"\\my roms/Caf\u00e9.gba";
    std::string output = dir_.u8string() + "/my roms/out/";
    for (char& c : output)
        if (c == '\\') c = '/';
    request.outputFolder = output;
    request.titles[0] = R"(Say "Hi" \o/)";
    // Started on the temporary folder's drive (C: under wine; the scratch folder is on Z:):
    // the build needs neither drive nor folder changed, and changes neither.
    fs::current_path(temp_.path());
    const std::string before = CurrentDirectory();

    const pellix::BuildResult result = pellix::Build(request, app.u8string());
    ASSERT_EQ(result.kind, pellix::BuildOutcome::Delivered) << result.message;
    EXPECT_EQ(CurrentDirectory(), before);

    const std::string package =
        pellix::test::ReadPackageBody(dir_ / "my roms" / "out" / fs::path(L"Caf\u00e9.nds"));
    EXPECT_EQ(package,
              "border.lz7 13 LZ:IMG:BORDER\n"
              "game.gz 6 GZ:ROM\n"
              "mode.txt 2 PC\n");
    const auto calls = pellix::test::ReadToolLog(bin);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0][0], "gzip");
    EXPECT_EQ(calls[3].at(15), R"(Say "Hi" \o/)");
    for (const auto& call : calls) EXPECT_NE(fs::path(call.back()), bin);
    for (const char* staged : {"x.nds", "icon.bmp", "border.bmp", "border.img.bin"})
        EXPECT_FALSE(fs::exists(bin / staged)) << staged;
    EXPECT_TRUE(fs::is_empty(bin / "data"));
}

}  // namespace
