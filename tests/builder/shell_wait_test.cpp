// Tests of the tool runner: start failures, exit status, stderr, arguments, event pump.
#include "builder/shell_wait.h"

#include <gtest/gtest.h>

#include "system/command_line.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace pellix::modShellWait;
using pellix::QuoteArgument;
using pellix::test::ReadToolLog;
using pellix::test::TempDir;
using pellix::test::WriteFile;

namespace {

// Runs inside a temporary folder holding the fake tools in "my bin/".
class ShellWait : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::create_directory(dir_.path() / "my bin");
        pellix::test::InstallFakeTools(dir_.path() / "my bin");
        fs::current_path(dir_.path());
    }
    void TearDown() override {
        SetEventPump({});
        fs::current_path(previous_);
    }
    std::string Tool(const std::string& name) const {
#ifdef _WIN32
        return QuoteArgument((dir_.path() / "my bin" / (name + ".exe")).string());
#else
        return QuoteArgument((dir_.path() / "my bin" / name).string());
#endif
    }

    TempDir dir_{"pellix-shellwait"};
    fs::path previous_;
};

TEST_F(ShellWait, AProgramThatCannotStartIsReported) {
    int pumps = 0;
    SetEventPump([&] { ++pumps; });
    const RunResult missing = RunAndWait(QuoteArgument((dir_.path() / "nothing").string()));
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.errorText.find("no such file"), std::string::npos) << missing.errorText;
    const RunResult empty = RunAndWait("   ");
    EXPECT_FALSE(empty.started);
    EXPECT_EQ(empty.errorText, "the command line names no program");
    EXPECT_EQ(pumps, 0);
}

TEST_F(ShellWait, ArgumentsAndWorkingDirectoryArriveUnchanged) {
    const RunResult r =
        RunAndWait(Tool("efs") + " " + QuoteArgument(R"(say "hi"; bye\)") + " plain \"two words\"");
    EXPECT_TRUE(r.started);
    const auto calls = ReadToolLog(dir_.path());
    ASSERT_EQ(calls.size(), 1u);
    const std::vector<std::string> expected = {"efs", R"(say "hi"; bye\)", "plain", "two words",
                                               fs::current_path().string()};
    EXPECT_EQ(calls[0], expected);
}

TEST_F(ShellWait, AProgramRunsInTheWorkingFolderItIsGiven) {
    const fs::path folder = dir_.path() / "work dir";
    fs::create_directory(folder);
    WriteFile(folder / "x.nds", "");
    const RunResult r = RunAndWait(Tool("efs") + " x.nds", folder.string());
    EXPECT_EQ(r.exitCode, 0) << r.errorText;
    const auto calls = ReadToolLog(folder);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(fs::path(calls[0].back()), fs::canonical(folder));
    EXPECT_FALSE(fs::exists(dir_.path() / "tool-log.txt"));
    EXPECT_EQ(fs::current_path(), dir_.path());

    const std::string gone = (dir_.path() / "gone").string();
    const RunResult missing = RunAndWait(Tool("efs") + " x.nds", gone);
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.errorText.find("the working folder " + gone + " does not exist"),
              std::string::npos)
        << missing.errorText;
}

TEST_F(ShellWait, ExitStatusAndStandardErrorAreReturned) {
    WriteFile("fail-grit", "3 grit: border.bmp: not a bitmap or PNG picture");
    const RunResult failed = RunAndWait(Tool("grit") + " border.bmp");
    EXPECT_TRUE(failed.started);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_EQ(failed.errorText, "grit: border.bmp: not a bitmap or PNG picture\n");

    WriteFile("border.bmp", "B");
    const RunResult ok = RunAndWait(Tool("gbacrusher") + " -l border.bmp -o out.lz7");
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.errorText, "");
}

TEST_F(ShellWait, OnlyTheLastPartOfALongErrorIsKept) {
    const std::string message = std::string(10000, 'a') + "THE END";
    WriteFile("fail-grit", "1 " + message);
    const RunResult r = RunAndWait(Tool("grit"));
    EXPECT_EQ(r.errorText.size(), kErrorTextLimit);
    EXPECT_EQ(r.errorText.substr(r.errorText.size() - 8), "THE END\n");
}

TEST_F(ShellWait, AProgramMayWriteMoreErrorTextThanAPipeHolds) {
    // 1 MiB is far beyond a pipe's buffer: the program must be made to wait, not fail, and
    // the message keeps whole lines from the end.
    WriteFile("noise-efs", std::to_string(1 << 20));
    WriteFile("x.nds", "");
    const RunResult r = RunAndWait(Tool("efs") + " x.nds");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_LE(r.errorText.size(), kErrorTextLimit);
    EXPECT_EQ(r.errorText.rfind("line ", 0), 0u) << r.errorText.substr(0, 80);
    ASSERT_GE(r.errorText.size(), 8u);
    EXPECT_EQ(r.errorText.substr(r.errorText.size() - 8), "THE END\n");
}

TEST_F(ShellWait, EventsAreDispatchedWhileTheProgramRuns) {
    WriteFile("sleep-efs", "300");
    WriteFile("x.nds", "");
    int pumps = 0;
    SetEventPump([&] { ++pumps; });
    const RunResult r = RunAndWait(Tool("efs") + " x.nds");
    EXPECT_EQ(r.exitCode, 0);
    // A 300 ms run with a dispatch at least every few tens of milliseconds.
    EXPECT_GE(pumps, 3);
}

#ifndef _WIN32
TEST_F(ShellWait, ABareNameIsLookedUpOnThePath) {
    const RunResult r = RunAndWait("true");
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0);
}
#endif

}  // namespace
