// Fake tools, their log, and killing a process, for the builder tests.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace pellix::test {

// The shared scratch folders and file helpers.
using testing::ReadFile;
using testing::ReadPackageBody;
using testing::TempDir;
using testing::WaitFor;
using testing::WriteFile;

// One call of a fake tool: its name, its arguments, and its working directory last.
using ToolCall = std::vector<std::string>;

// The calls recorded in `dir`/tool-log.txt, oldest first.
std::vector<ToolCall> ReadToolLog(const std::filesystem::path& dir);

// Copies the fake tool into `binDir` under the five program names.
void InstallFakeTools(const std::filesystem::path& binDir);

// Ends the process `pid` at once, as a crash would (SIGKILL; TerminateProcess on Windows).
void KillProcess(long pid);

}  // namespace pellix::test
