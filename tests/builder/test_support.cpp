// Fake tools, their log, and killing a process, for the builder tests.
#include "test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace fs = std::filesystem;

namespace pellix::test {

std::vector<ToolCall> ReadToolLog(const fs::path& dir) {
    std::vector<ToolCall> calls;
    std::istringstream lines(ReadFile(dir / "tool-log.txt"));
    std::string line;
    while (std::getline(lines, line)) {
        ToolCall call;
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = line.find('\x1f', start);
            call.push_back(line.substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        calls.push_back(call);
    }
    return calls;
}

void InstallFakeTools(const fs::path& binDir) {
#ifdef _WIN32
    const std::string suffix = ".exe";
#else
    const std::string suffix;
#endif
    for (const char* name : {"gzip", "grit", "gbacrusher", "ndstool", "efs"}) {
        fs::copy_file(PELLIX_FAKE_TOOL, binDir / (name + suffix),
                      fs::copy_options::overwrite_existing);
    }
}

void KillProcess(long pid) {
#ifdef _WIN32
    const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return;
    ::TerminateProcess(process, 9);
    ::CloseHandle(process);
#else
    ::kill(static_cast<pid_t>(pid), SIGKILL);
#endif
}

}  // namespace pellix::test
