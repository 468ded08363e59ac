// The real Qt window in a display of its own, driven by real clicks and keys: a build it runs
// is stopped by SIGTERM, SIGHUP or SIGINT, and nothing of it stays.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "support/installation.h"
#include "support/program.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;
using namespace pellix::testing;

// An X server of its own (its display number chosen by Xvfb), for the whole suite.
class Display {
  public:
    Display() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execl(XVFB, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                    "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // The number comes as a line, maybe in pieces; a pipe closed early would stop Xvfb.
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~Display() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
};

// xdotool's answer (its output, trimmed), or "" when it failed.
std::string Xdotool(const std::string& display, const std::vector<std::string>& args) {
    const RunResult run = RunProgram(XDOTOOL, args, fs::current_path(), {{"DISPLAY", display}}, 20);
    std::string out = run.exitCode == 0 ? run.out : "";
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

TEST(WindowSignals, AStopSignalEndsTheBuildAndLeavesNothing) {
    if (std::string(XDOTOOL).empty() || std::string(XVFB).empty())
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    const Display display;
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    TempDir root("pellix-window-signals");
    const fs::path app = root.path() / "inst";
    MakeInstallation(app, {FAKE_TOOL, FAKE_TOOL, FAKE_TOOL, FAKE_TOOL, FAKE_TOOL, FAKE_TOOL,
                           STANDIN_DIR, GFX_DIR});
    fs::copy_file(PELLIX_PROGRAM, app / "pellix");
    // gzip takes its time, so the signal comes while it runs.
    WriteFile(app / "bin" / "sleep-gzip", "60000");
    WriteFile(root.path() / "game.gba", std::string(4096, 'R'));
    const fs::path tmp = root.path() / "tmp";
    fs::create_directories(tmp);
    fs::create_directories(root.path() / "runtime");
    fs::permissions(root.path() / "runtime", fs::perms::owner_all);

    for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(sig);
        Program pellix((app / "pellix").string(), {}, root.path(),
                       {{"DISPLAY", display.name()},
                        {"QT_QPA_PLATFORM", "xcb"},
                        {"TMPDIR", tmp.string()},
                        {"XDG_RUNTIME_DIR", (root.path() / "runtime").string()}});
        const std::string window =
            Xdotool(display.name(), {"search", "--sync", "--onlyvisible", "--name", "Quillmere v"});
        ASSERT_FALSE(window.empty());
        // At the 96 dpi of this display the window is drawn at the design's pixels.
        const auto click = [&](int x, int y) {
            Xdotool(display.name(), {"mousemove", "--window", window, std::to_string(x),
                                     std::to_string(y), "click", "1"});
        };
        const std::string pid = Xdotool(display.name(), {"getwindowpid", window});
        ASSERT_FALSE(pid.empty());
        // A dialog of the window: focused (there is no window manager) and answered by keys.
        const auto answer = [&](const std::vector<std::string>& keys) {
            std::string dialog;
            if (!WaitFor([&] {
                    std::istringstream ids(
                        Xdotool(display.name(), {"search", "--onlyvisible", "--pid", pid}));
                    for (std::string id; std::getline(ids, id);)
                        if (id != window) dialog = id;
                    return !dialog.empty();
                }))
                return false;
            Xdotool(display.name(), {"windowfocus", "--sync", dialog});
            for (const std::string& key : keys)
                Xdotool(display.name(), {key.size() > 1 && key[0] == '/' ? "type" : "key", key});
            return WaitFor([&] {
                return Xdotool(display.name(), {"search", "--onlyvisible", "--pid", pid})
                           .find(dialog) == std::string::npos;
            });
        };
        click(464, 88);  // the ROM row's "Browse...", then the ROM's path typed in the chooser
        ASSERT_TRUE(answer({(root.path() / "game.gba").string(), "Return"}));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the ROM is taken
        click(280, 376);  // "Go...", and the message that the DS images are stand-ins
        ASSERT_TRUE(answer({"Return"}));
        ASSERT_TRUE(WaitFor([&] { return !FileNames(tmp).empty(); })) << "no build started";
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // gzip is running
        ::kill(static_cast<pid_t>(std::stol(pid)), sig);
        const RunResult run = pellix.Wait(30);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.signal, sig) << run.exitCode << run.err;
        EXPECT_TRUE(FileNames(tmp).empty()) << *FileNames(tmp).begin();
        EXPECT_FALSE(fs::exists(root.path() / "game.nds"));
    }
}

}  // namespace
