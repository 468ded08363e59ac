// The file services of the operating system: errors, locks, program path, file facts, copies.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace pellix::os {

// A file operation failed. `subject` says what failed ("cannot copy A to B") or names the
// file at fault, `reason` why ("no such file"); what() reads "SUBJECT: REASON".
class FileError : public std::runtime_error {
  public:
    FileError(std::string subject, std::string reason)
        : std::runtime_error(subject + ": " + reason),
          subject_(std::move(subject)),
          reason_(std::move(reason)) {}
    const std::string& subject() const { return subject_; }
    const std::string& reason() const { return reason_; }

  private:
    std::string subject_;
    std::string reason_;
};

// The one table of reasons for failed operations: short and lower-case, such as "no such
// file", without the full stop and line end some systems end their texts with.
std::string ErrorReason(const std::error_code& error);
// The same for an errno value.
std::string ErrorReason(int errnoValue);

// Whether `error` says the disk is full.
bool IsDiskFull(const std::error_code& error);

// Whether `error` says something is already there.
bool IsFileExists(const std::error_code& error);

// Full path of the running executable; throws std::runtime_error when unknown.
std::string ExecutablePath();

// The folder below which this user's programs keep data of their own (UTF-8):
// $XDG_DATA_HOME (when absolute) or $HOME/.local/share on Linux, %LOCALAPPDATA% on Windows.
// "" when the environment names none.
std::string UserDataFolder();

// Makes `dir` the process's current directory (and, where drives exist, its drive the
// current drive). Throws FileError("cannot enter the folder DIR", reason).
void ChangeDirectory(const std::string& dir);

// An exclusive lock on one file, held for the object's life. The operating system drops it
// when the process ends in any way, so a crashed holder never leaves it held. Two objects
// on the same file conflict even within one process. The handle is not inherited by
// programs the process starts. The lock bars no reads or writes of the file's bytes, so a
// file can be locked while it is written.
class FileLock {
  public:
    // Opens `path`, creating an empty file when it is missing (only when `create`) and never
    // changing one that is there, and takes the lock if no one holds it, without waiting.
    // Throws FileError("cannot open the lock file PATH", reason) when it cannot be opened;
    // a missing file when `create` is false is not held and throws nothing.
    explicit FileLock(const std::string& path, bool create = true);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Whether this object holds the lock (false: someone else held it).
    bool held() const { return held_; }

  private:
    std::intptr_t handle_ = -1;
    bool held_ = false;
};

// The system's copy of a file's bytes to `to`, which it creates (when `exclusive`, only if
// nothing is there, else replacing what is). A failed copy may leave a partial `to` behind;
// the error says what the write said (a full disk, not an input/output error). Only a
// regular file is read, and it is opened without waiting: a pipe or a device put in its
// place gives std::errc::invalid_argument rather than a wait without end.
std::error_code CopyFileBytes(const std::filesystem::path& from, const std::filesystem::path& to,
                              bool exclusive);

// What a program needs to know about a path before it touches it.
struct FileFacts {
    bool exists = false;   // anything is there, a dangling link included
    bool regular = false;  // a plain file (after following links)
    bool folder = false;   // a folder (after following links)
    int64_t mtime = 0;     // modification time in Unix seconds, when it exists
};

// Looks at `path` (UTF-8) without opening it.
FileFacts Inspect(const std::string& path);

// Looks at the file behind an open stream (standard input redirected from a file, say).
FileFacts InspectOpen(std::FILE* stream);

// Creates `path` (UTF-8), which must not exist yet, for binary writing: readable by its
// owner alone when `ownerOnly`, else as the user's new files are. Returns nullptr with
// errno set when it cannot (EEXIST when something is there).
std::FILE* CreateNewFile(const std::string& path, bool ownerOnly = true);

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
// ForgetTemporary(); then it ends as the signal would have. One file at a time. A file
// from CreateNewFile can be removed so while it is open, on Windows too.
void WatchTemporary(const std::string& path);
void ForgetTemporary();

// Renames `from` to `to`, replacing a file at `to`. Returns false with errno set.
bool RenameOver(const std::string& from, const std::string& to);

// Renames the file `from` to `to` unless something is at `to` already, in one step that
// never replaces: std::errc::file_exists then, and `from` stays. Another error as the
// system gives it.
std::error_code RenameNoReplace(const std::string& from, const std::string& to);

// Switches a standard stream to binary (Windows translates line ends otherwise).
void SetBinary(std::FILE* stream);

// True when `stream` is a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

}  // namespace pellix::os
