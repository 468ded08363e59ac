// Runs a built program in a chosen folder, with an argument list and no shell, for the
// tests of the companion programs.
#pragma once

#ifdef _WIN32
#include "run_program_win.h"
#else

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellix::testing {

struct RunResult {
    int exitCode = -1;  // the program's exit status; -1 when it did not exit normally
    std::string out;    // standard output
    std::string err;    // standard error
};

inline std::string ReadAndRemove(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return text;
}

// Runs `program` with `args` in `folder`, standard input empty, and waits for it.
// Output goes through temporary files, so a chatty program cannot block on a full pipe.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& folder) {
    char outName[] = "/tmp/pellix-run-out-XXXXXX";
    char errName[] = "/tmp/pellix-run-err-XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("cannot make temporary files");

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        const int nullFd = open("/dev/null", O_RDONLY);
        if (chdir(folder.c_str()) != 0) _exit(126);
        dup2(nullFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outFd);
    close(errFd);
    RunResult result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = ReadAndRemove(outName);
    result.err = ReadAndRemove(errName);
    return result;
}

}  // namespace pellix::testing

#endif  // _WIN32
