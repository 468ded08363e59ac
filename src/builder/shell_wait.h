// modShellWait: runs one external program and waits for it while the windows stay live.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "system/subprocess.h"

namespace pellix::modShellWait {

// What became of one program: started, exit code or signal, standard error, cancelled.
using RunResult = os::ProcessResult;

// The most of a program's standard error kept in RunResult::errorText (its last bytes).
constexpr std::size_t kErrorTextLimit = 4096;

// Cuts `text` to its last kErrorTextLimit bytes when it is longer, then drops the cut
// line at the front unless it is the only one, so a long error output ends in whole lines.
void KeepLastLines(std::string& text);

// Starts `commandLine` (split by the Windows command-line rules, no shell) with
// `workingDir` as its working directory ("" keeps the caller's current directory), with no
// console and stdin from the null device, and returns when it ends. The program path is
// best absolute: a relative one is not looked up in `workingDir` on every platform. While
// waiting, calls the event pump at least every 20 ms without spinning. Safe to call from
// several threads at once; each child inherits only its own standard handles.
RunResult RunAndWait(const std::string& commandLine, const std::string& workingDir);

// The same in the caller's current directory.
RunResult RunAndWait(const std::string& commandLine);

// Stops every program run through RunAndWait, now and from now on: a running one is killed
// and its call returns with `cancelled` set; a later call starts nothing. Only sets a
// lock-free flag, so a signal handler or a console control handler may call it.
void CancelAll();

// Whether CancelAll was called since the start (or the last ResetCancel).
bool CancelRequested();

// Lets programs run again after CancelAll. Meant for tests.
void ResetCancel();

// Installs the function that dispatches the window's pending events during a wait
// (an empty function removes it). The main window fills this in at start. The pump is
// called only on the thread that installed it, since window events belong to that thread;
// waits on other threads just wait.
void SetEventPump(std::function<void()> pump);

// Calls the installed event pump once, if there is one and this is its thread. For the
// platform's RunAndWait.
void PumpEvents();

}  // namespace pellix::modShellWait
