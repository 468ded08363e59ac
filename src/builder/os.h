// The few operating-system services the builder needs, one implementation per platform.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace pellix::os {

// Full path of the running executable; throws std::runtime_error when unknown.
std::string ExecutablePath();

// Makes `dir` the process's current directory (and, where drives exist, its drive the
// current drive). Throws files::FileError("cannot enter the folder DIR", reason).
void ChangeDirectory(const std::string& dir);

// An exclusive lock on one file, held for the object's life. The operating system drops it
// when the process ends in any way, so a crashed holder never leaves it held. Two objects
// on the same file conflict even within one process. The handle is not inherited by
// programs the process starts.
class FileLock {
  public:
    // Opens `path`, creating an empty file when it is missing (only when `create`) and never
    // changing one that is there, and takes the lock if no one holds it, without waiting.
    // Throws files::FileError("cannot open the lock file PATH", reason) when it cannot be
    // opened; a missing file when `create` is false is not held and throws nothing.
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

// Renames the file `from` to `to` unless something is at `to` already, in one step that
// never replaces: std::errc::file_exists then, and `from` stays. Another error as the
// system gives it.
std::error_code RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace pellix::os
