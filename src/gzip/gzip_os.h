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

// Opens `path` (UTF-8) for binary reading, whatever it is: a file, a pipe or a device.
// Returns nullptr with errno set when it cannot.
std::FILE* OpenForReading(const std::string& path);

// True when errno value `error` says a name was too long for its folder.
bool NameTooLong(int error);

// Pushes `file`'s buffered bytes to the disk itself (not only to the system). False with
// errno set when that fails.
bool SyncToDisk(std::FILE* file);

// Sets the modification time of `path` (UTF-8) in Unix seconds; false when it cannot.
bool SetModificationTime(const std::string& path, int64_t seconds);

// Removes the temporary file at `path` (UTF-8) when the program is stopped (SIGINT,
// SIGTERM, SIGHUP, SIGPIPE; Ctrl-C, Ctrl-Break or closing the console on Windows) before
// ForgetTemporary(); then it ends as the signal would have. One file at a time.
void WatchTemporary(const std::string& path);
void ForgetTemporary();

// Renames `from` to `to`, replacing a file at `to`. Returns false with errno set.
bool RenameOver(const std::string& from, const std::string& to);

// Switches a standard stream to binary (Windows translates line ends otherwise).
void SetBinary(std::FILE* stream);

// True when `stream` is a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

}  // namespace pellix::gzip::os
