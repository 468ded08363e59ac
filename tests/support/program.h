// Starts a built program for a test or a benchmark: an argument list, no shell, its output
// through files so a chatty program never blocks on a full pipe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace pellix::testing {

struct RunResult {
    int exitCode = -1;      // the exit status when the program exited
    int signal = 0;         // the signal that ended it (POSIX)
    bool timedOut = false;  // it was killed for taking too long
    std::string out, err;   // its output; on Windows with "\r\n" read as "\n"
    std::string rawOut;     // its standard output byte for byte
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// A started program. Standard input is empty, or the file `input`; it shares the test's console (on
// Windows in a process group of its own, so Interrupt reaches it alone).
class Program {
  public:
    // Starts `program` with `args` in `folder`, with `env` added to the environment.
    // `asNobody` (POSIX, when running as root) runs it as the unprivileged user 65534, so
    // that a file's permissions bind it. Throws std::runtime_error when it cannot start.
    Program(const std::string& program, const std::vector<std::string>& args,
            const std::filesystem::path& folder, const Environment& env = {}, bool asNobody = false,
            const std::filesystem::path& input = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // What the program has written to standard output so far, "\r\n" read as "\n".
    std::string OutputSoFar() const;

    // Interrupts it as Ctrl-C would; false when the system would not deliver that.
    bool Interrupt();

    // Waits up to `seconds` for it to end (killing it then) and returns what it did.
    RunResult Wait(double seconds);

  private:
    std::intptr_t handle_ = -1;  // the process id (POSIX) or handle (Windows)
    unsigned long id_ = 0;
    std::filesystem::path folder_, outPath_, errPath_;
    bool ended_ = false;
};

// Runs the program to its end (at most `seconds`, then it is killed).
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& folder, const Environment& env = {},
                     double seconds = 600, bool asNobody = false,
                     const std::filesystem::path& input = {});

// The file name of a program, as the platform writes it ("gzip" or "gzip.exe").
std::string ProgramName(const std::string& name);

}  // namespace pellix::testing
