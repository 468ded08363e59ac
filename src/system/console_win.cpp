// The console on Windows: wide arguments, wildcards, UTF-8 output, control events.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "system/command_line.h"
#include "system/console.h"
#include "system/text.h"

namespace pellix::console {

namespace {

void (*volatile g_onInterrupt)() = nullptr;

std::atomic<bool> g_interrupted{false};
HANDLE g_cleanedUp = nullptr;  // set once the builds have stopped and cleaned up
UINT g_previousCodePage = 0;

BOOL WINAPI OnControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            g_interrupted = true;
            if (g_onInterrupt) g_onInterrupt();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            g_interrupted = true;
            if (g_onInterrupt) g_onInterrupt();
            // The process ends when this returns (and a few seconds later regardless),
            // so the clean-up is waited for here.
            if (g_cleanedUp) ::WaitForSingleObject(g_cleanedUp, 4500);
            return TRUE;
        default:
            return FALSE;
    }
}

void RestoreCodePage() {
    if (g_previousCodePage != 0) ::SetConsoleOutputCP(g_previousCodePage);
}

}  // namespace

std::vector<std::string> Arguments(int, char**) {
    std::vector<std::string> args = SplitCommandLine(win::ToUtf8(::GetCommandLineW()));
    if (!args.empty()) args.erase(args.begin());
    return args;
}

std::vector<std::string> ExpandWildcards(const std::vector<std::string>& roms) {
    std::vector<std::string> expanded;
    for (const std::string& rom : roms) {
        const std::size_t sep = rom.find_last_of("\\/:");
        const std::size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
        if (rom.find_first_of("*?", nameStart) == std::string::npos) {
            expanded.push_back(rom);
            continue;
        }
        std::vector<std::string> matches;
        WIN32_FIND_DATAW found;
        HANDLE search = INVALID_HANDLE_VALUE;
        try {
            search = ::FindFirstFileW(win::ToWide(rom).c_str(), &found);
        } catch (const std::exception&) {
        }
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    matches.push_back(rom.substr(0, nameStart) + win::ToUtf8(found.cFileName));
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        std::sort(matches.begin(), matches.end());
        if (matches.empty()) matches.push_back(rom);
        expanded.insert(expanded.end(), matches.begin(), matches.end());
    }
    return expanded;
}

void PrepareOutput() {
    const UINT previous = ::GetConsoleOutputCP();
    if (previous != 0 && previous != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        g_previousCodePage = previous;
        std::atexit(RestoreCodePage);
    }
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool OutputIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void StopOnInterrupt(void (*onInterrupt)()) {
    g_onInterrupt = onInterrupt;
    g_cleanedUp = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void EndIfInterrupted() {
    if (!g_interrupted) return;
    std::cout.flush();
    std::cerr.flush();
    if (g_cleanedUp) ::SetEvent(g_cleanedUp);
    std::exit(130);
}

int ProcessorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

}  // namespace pellix::console
