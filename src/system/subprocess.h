// Starting one program and waiting for it: no shell, no console, its errors captured.
// (Not "process.h": the Windows runtime has a header of that name.)
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pellix::os {

struct ProcessResult {
    bool started = false;   // false: the program could not be started at all
    int exitCode = -1;      // the program's exit status when it started (-1 if killed by a signal)
    int signal = 0;         // the signal that ended it, when one did (POSIX only)
    std::string errorText;  // why it could not start (when !started), or the program's stderr
    // The caller asked it to stop, or asked before it started.
    bool cancelled = false;
};

// What the caller does while it waits.
struct ProcessWatch {
    // Called at least every 20 ms while the program runs, without spinning.
    std::function<void()> whileWaiting;
    // Asked before the start and during the wait; true kills the program (or starts none).
    std::function<bool()> stopRequested;
    // Given the captured standard error after each read, to keep it bounded.
    std::function<void(std::string&)> trimErrors;
};

// Starts `commandLine` (split by the Windows command-line rules, no shell) with
// `workingDir` as its working directory ("" keeps the caller's current directory), with
// standard input and output the null device, and returns when it ends. The program path is
// best absolute: a relative one is not looked up in `workingDir` on every platform. Safe to
// call from several threads at once; each child inherits only its own standard handles.
// The program ends when this process ends in any way (killed included), so no build leaves
// a program running behind it.
ProcessResult RunProcess(const std::string& commandLine, const std::string& workingDir,
                         const ProcessWatch& watch);

// Kills every program RunProcess has started and not yet seen end, with what they started,
// and waits a moment for them to be gone: for an end that cannot wait for each RunProcess
// to notice a stop (the session is ending). Their RunProcess calls return as killed.
void StopAllPrograms();

// What both platforms check before a start: the program's arguments, or none when nothing
// is to be started (an empty command line, or a stop asked for already), with `result`
// saying why.
std::vector<std::string> ArgumentsToStart(const std::string& commandLine,
                                          const ProcessWatch& watch, ProcessResult& result);

}  // namespace pellix::os
