// Temporary folders, file helpers and a fake installation for the builder tests.
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

TempDir::TempDir(const std::string& hint) {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            (hint + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    // The build leaves the current directory inside; step out before removing.
    if (fs::current_path(ec).string().rfind(path_.string(), 0) == 0)
        fs::current_path(fs::temp_directory_path(), ec);
    fs::remove_all(path_, ec);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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

bool WaitFor(const std::function<bool()>& ready) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
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
