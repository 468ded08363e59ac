// Temporary folders, file helpers and a fake installation for the builder tests.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace pellix::test {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    explicit TempDir(const std::string& hint = "pellix-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// One call of a fake tool: its name, its arguments, and its working directory last.
using ToolCall = std::vector<std::string>;

// The calls recorded in `dir`/tool-log.txt, oldest first.
std::vector<ToolCall> ReadToolLog(const std::filesystem::path& dir);

// Copies the fake tool into `binDir` under the five program names.
void InstallFakeTools(const std::filesystem::path& binDir);

// Asks `ready` every few milliseconds until it is true (returns true) or 20 s have passed
// (returns false).
bool WaitFor(const std::function<bool()>& ready);

// Ends the process `pid` at once, as a crash would (SIGKILL; TerminateProcess on Windows).
void KillProcess(long pid);

}  // namespace pellix::test
