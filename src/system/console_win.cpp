// The console on Windows: wide arguments, wildcards, UTF-8 output, control events.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>
#include <thread>

#include "system/command_line.h"
#include "system/console.h"
#include "system/text.h"

namespace pellix::console {

namespace {

void (*volatile g_onInterrupt)() = nullptr;

std::atomic<bool> g_interrupted{false};
HANDLE g_cleanedUp = nullptr;  // set once the builds have stopped and cleaned up

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

// Writes UTF-8 text to a console as wide characters, which every console shows whatever
// its code page. A character cut between two writes waits for its other bytes.
class ConsoleOutput : public std::streambuf {
  public:
    explicit ConsoleOutput(HANDLE console) : console_(console) {}

  protected:
    int overflow(int c) override {
        if (c != traits_type::eof()) pending_ += static_cast<char>(c);
        if (pending_.size() >= 4096) WriteWhole();
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        if (pending_.size() >= 4096) WriteWhole();
        return count;
    }
    int sync() override { return WriteWhole() ? 0 : -1; }

  private:
    // Writes the whole characters pending; false when the console refuses them.
    bool WriteWhole() {
        std::size_t end = pending_.size();
        // Back over a last character whose bytes have not all come.
        for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const unsigned char byte = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (length > back) end = pending_.size() - back;
            break;
        }
        const std::wstring wide = win::ToWide(pending_.substr(0, end), true);
        pending_.erase(0, end);
        for (std::size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
            if (!::WriteConsoleW(console_, wide.data() + done, chunk, &written, nullptr) ||
                written == 0)
                return false;
            done += written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;
};

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
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
    // A console gets wide characters; a file or pipe gets the UTF-8 bytes as they are.
    // Never freed: the streams are flushed after every static object has gone.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    std::cout.flush();
    std::cerr.flush();
    if (IsConsole(out)) std::cout.rdbuf(new ConsoleOutput(out));
    if (IsConsole(err)) std::cerr.rdbuf(new ConsoleOutput(err));
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

bool Interrupted() {
    return g_interrupted;
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
