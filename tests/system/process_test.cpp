// A program started through the system layer ends when the process that started it is
// killed: two real processes, the parent killed outright.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include "system/command_line.h"
#include "system/text.h"
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The child's process number, once the child has written it; 0 when it never does.
long WaitForChildNumber(const fs::path& file) {
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < end) {
        std::ifstream in(file);
        long pid = 0;
        if (in >> pid && pid > 0) return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

#ifdef _WIN32
struct Parent {
    PROCESS_INFORMATION info{};
};

Parent StartParent(const fs::path& file) {
    std::wstring line = pellix::win::ToWide(pellix::QuoteArgument(PELLIX_ORPHAN_PROBE) +
                                            " parent " + pellix::QuoteArgument(file.u8string()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    Parent parent;
    EXPECT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &startup, &parent.info));
    return parent;
}

void KillParent(Parent& parent) {
    ::TerminateProcess(parent.info.hProcess, 9);
    ::WaitForSingleObject(parent.info.hProcess, 10000);
    ::CloseHandle(parent.info.hProcess);
    ::CloseHandle(parent.info.hThread);
}

bool EndsWithin(long pid, std::chrono::seconds limit) {
    const HANDLE child = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (child == nullptr) return true;  // gone already
    const bool ended = ::WaitForSingleObject(child, static_cast<DWORD>(limit.count() * 1000)) ==
                       WAIT_OBJECT_0;
    ::CloseHandle(child);
    return ended;
}
#else
struct Parent {
    pid_t pid = 0;
};

Parent StartParent(const fs::path& file) {
    const std::string program = PELLIX_ORPHAN_PROBE;
    const std::string path = file.string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("parent"),
                    const_cast<char*>(path.c_str()), nullptr};
    Parent parent;
    EXPECT_EQ(::posix_spawn(&parent.pid, argv[0], nullptr, nullptr, argv, environ), 0);
    return parent;
}

void KillParent(Parent& parent) {
    ::kill(parent.pid, SIGKILL);
    int status = 0;
    ::waitpid(parent.pid, &status, 0);
}

// Gone, or a zombie nobody has reaped yet (its program has ended all the same).
bool EndsWithin(long pid, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    const fs::path stat = "/proc/" + std::to_string(pid) + "/stat";
    while (Clock::now() < end) {
        std::ifstream in(stat);
        std::string number, name, state;
        if (!(in >> number >> name >> state) || state == "Z" || state == "X") return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
#endif

TEST(RunProcess, TheProgramEndsWhenItsStarterIsKilled) {
    const fs::path dir = fs::temp_directory_path() /
                         ("pellix-orphan-" + std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    const fs::path file = dir / "child.pid";
    Parent parent = StartParent(file);
    const long child = WaitForChildNumber(file);
    ASSERT_GT(child, 0) << "the child never started";
    KillParent(parent);
    EXPECT_TRUE(EndsWithin(child, std::chrono::seconds(10)));
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace
