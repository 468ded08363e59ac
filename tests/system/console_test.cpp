// The console's standard output when another program left it non-blocking.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "system/console.h"

namespace {

// A reader that comes late finds every byte: the writer waited instead of dropping them.
TEST(ConsoleOutput, ANonBlockingPipeThatFillsLosesNothing) {
    constexpr std::size_t kBytes = 1 << 20;  // far more than a pipe holds
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        pellix::console::PrepareOutput();
        const std::string line(1023, 'x');
        for (std::size_t i = 0; i < kBytes / 1024; ++i) std::cout << line << '\n';
        std::cout.flush();
        ::_exit(std::cout.good() ? 0 : 1);
    }
    ::close(fds[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::size_t got = 0;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;)
        if (n > 0) got += static_cast<std::size_t>(n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(got, kBytes);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
#endif

#ifdef _WIN32
#include <windows.h>

#include <iostream>
#include <string>

#include "system/console.h"

namespace {

// A console shows what its code page cannot hold, even a character whose bytes come in
// two writes: it is written wide characters, not UTF-8 bytes.
TEST(ConsoleOutput, AConsoleShowsEveryCharacter) {
    ::FreeConsole();
    if (!::AllocConsole()) GTEST_SKIP() << "no console can be made here";
    ::SetConsoleOutputCP(850);
    const HANDLE console =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, console);
    pellix::console::PrepareOutput();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(::GetConsoleScreenBufferInfo(console, &info));
    std::cout << "Ausgabe \xc3" << std::flush;
    std::cout << "\xbc \xe2\x82\xac" << std::flush;
    const std::wstring expected = L"Ausgabe \u00fc \u20ac";
    std::wstring shown(expected.size(), L' ');
    DWORD read = 0;
    ASSERT_TRUE(::ReadConsoleOutputCharacterW(
        console, shown.data(), static_cast<DWORD>(shown.size()), info.dwCursorPosition, &read));
    shown.resize(read);
    EXPECT_TRUE(shown == expected);
}

}  // namespace
#endif
