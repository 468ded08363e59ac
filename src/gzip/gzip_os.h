// The operating-system calls of the gzip program that the standard library does not cover.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace pellix::gzip::os {

// What the program needs to know about a path before it touches it.
struct FileFacts {
    bool exists = false;   // anything is there, a dangling link included
    bool regular = false;  // a plain file (after following links)
    bool folder = false;   // a folder (after following links)
    int64_t mtime = 0;     // modification time in Unix seconds, when it exists
};

// Looks at `path` (UTF-8) without opening it.
FileFacts Inspect(const std::string& path);

// Creates `path` (UTF-8), which must not exist yet, for binary writing. Returns nullptr
// with errno set when it cannot (EEXIST when something is there).
std::FILE* CreateNewFile(const std::string& path);

// Renames `from` to `to`, replacing a file at `to`. Returns false with errno set.
bool RenameOver(const std::string& from, const std::string& to);

// Switches a standard stream to binary (Windows translates line ends otherwise).
void SetBinary(std::FILE* stream);

// True when `stream` is a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

}  // namespace pellix::gzip::os
