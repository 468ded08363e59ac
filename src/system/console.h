// What a console program needs of the console it runs in, one implementation per platform.
#pragma once

#include <string>
#include <vector>

namespace pellix::console {

// The arguments after the program name, in UTF-8. On Windows they are read from the wide
// command line (the narrow one loses what the code page cannot hold).
std::vector<std::string> Arguments(int argc, char** argv);

// The ROMs named by `roms`. On Windows, where no shell expands them, a name whose last
// part holds "*" or "?" stands for the files it matches (in name order; kept as it is
// when it matches none). Elsewhere the shell has done that already.
std::vector<std::string> ExpandWildcards(const std::vector<std::string>& roms);

// Prepares std::cout and std::cerr for UTF-8 text: on Windows a console is written wide
// characters (which it shows whatever its code page), a file or pipe the UTF-8 bytes; on
// POSIX an output another program left non-blocking is waited for while it is full
// instead of dropping what does not fit.
void PrepareOutput();

// Whether standard output is a terminal (a console window on Windows), not a file or pipe.
bool OutputIsTerminal();

// The width of the terminal standard output shows in, in columns; 0 when unknown.
int TerminalColumns();

// From now on an interrupt (Ctrl-C, SIGTERM, SIGHUP; on Windows also closing the console)
// calls `onInterrupt` and nothing else, so the work can stop and clean up; it runs in a
// signal handler, so it may only set lock-free flags. A reader of standard output that
// goes away no longer ends the program (SIGPIPE).
void StopOnInterrupt(void (*onInterrupt)());

// Whether an interrupt has come since StopOnInterrupt; safe to ask at any time, so a
// window program can poll it from its event loop.
bool Interrupted();

// Ends the program as interrupted once everything is cleaned up: by the signal that came,
// so a calling shell sees it (128 + its number); on Windows with 130 after letting a
// console that is closing go. Returns only when no interrupt came.
void EndIfInterrupted();

// The number of processors, at least 1.
int ProcessorCount();

}  // namespace pellix::console
