// Tests of stopping the tool runner: a running program is killed, later ones never start.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#endif

#include "system/command_line.h"
#include "builder/shell_wait.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace pellix::modShellWait;
using pellix::test::TempDir;
using pellix::test::WriteFile;

namespace {

TEST(CancelAll, StopsTheRunningProgramAndEveryLaterOne) {
    TempDir dir("pellix-cancel");
    pellix::test::InstallFakeTools(dir.path());
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
#ifdef _WIN32
    const std::string efs = pellix::QuoteArgument((dir.path() / "efs.exe").string());
#else
    const std::string efs = pellix::QuoteArgument((dir.path() / "efs").string());
#endif
    WriteFile("sleep-efs", "60000");
    WriteFile("x.nds", "");

    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CancelAll();
    });
    const RunResult stopped = RunAndWait(efs + " x.nds");
    stopper.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(stopped.started);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_NE(stopped.exitCode, 0);
    EXPECT_LT(seconds, 30.0) << "the program was not stopped";
    EXPECT_TRUE(CancelRequested());

    const RunResult later = RunAndWait(efs + " x.nds");
    EXPECT_FALSE(later.started);
    EXPECT_TRUE(later.cancelled);

    // Once reset, programs run again to their end.
    ResetCancel();
    fs::remove("sleep-efs");
    const RunResult again = RunAndWait(efs + " x.nds");
    EXPECT_FALSE(again.cancelled);
    EXPECT_EQ(again.exitCode, 0);
    fs::current_path(previous);
}

#ifndef _WIN32
TEST(CancelAll, AlsoEndsWhatTheStoppedProgramStarted) {
    // A program that hangs in a child of its own: the child may not outlive the stop.
    TempDir dir("pellix-cancel");
    const fs::path marker = dir.path() / "child.pid";
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CancelAll();
    });
    const RunResult stopped =
        RunAndWait("/bin/sh -c \"sleep 60 & echo $! > '" + marker.string() + "'; wait\"");
    stopper.join();
    ResetCancel();
    EXPECT_TRUE(stopped.cancelled);
    const long child = std::stol(pellix::test::ReadFile(marker));
    EXPECT_TRUE(pellix::test::WaitFor([&] { return ::kill(child, 0) != 0; }))
        << "the program's own child " << child << " still runs";
}
#endif

}  // namespace
