// The one way a file is written whole or not at all: under a temporary name beside it, then
// renamed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace pellix::os {

class FileLock;

// A file written under a temporary name in the folder of its target and renamed over the
// target only when complete, so a reader sees the old file or the whole new one, never a
// part. The temporary name is a dot, "px" and hex digits (TemporaryNameFor), never longer
// than the target's name (one of fewer than 5 characters aside), so it fits wherever the
// target's fits. The file is locked for the object's life; the system drops the lock when
// the process ends in any way, which is how RemoveAbandonedFiles tells a leftover of a
// killed writer from a file being written.
//
// Every failure throws FileError("cannot write TARGET", reason), with nothing of the
// temporary file left behind.
class AtomicFile {
  public:
    // Creates the temporary file, empty, readable by its owner alone when `ownerOnly` (the
    // writer then sets the permissions itself), else as any new file. With `removeOnStop`
    // it is also removed when the program is stopped by an interrupt (see WatchTemporary;
    // one such file at a time).
    explicit AtomicFile(const std::string& target, bool removeOnStop = false,
                        bool ownerOnly = false);
    // Removes the temporary file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The temporary file's path, which another writer may fill once CloseStream was called.
    const std::string& path() const { return temp_; }
    const std::string& target() const { return target_; }
    // The stream over the temporary file (nullptr once closed).
    std::FILE* stream() const { return file_; }

    // Writes all of `data`.
    void Write(const void* data, std::size_t size);
    // Pushes what was written to the system (and with `sync` to the disk itself) and closes
    // the stream; the temporary file stays, still locked. Commit does it when not done.
    void CloseStream(bool sync = false);
    // Names another target in the same folder.
    void Retarget(const std::string& target) { target_ = target; }
    // Puts the file in place. With `replace` false a file at the target stays and nothing
    // is put (checked in the rename itself): returns false, the temporary file removed.
    bool Commit(bool replace = true, bool sync = false);

  private:
    [[noreturn]] void Fail(int error);

    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<FileLock> lock_;
    bool watched_ = false;
    bool done_ = false;
};

// A temporary name for a file to be written as `targetName` (a name without folder), made
// from `random`: ".px" and as many hex digits as fit in the target's length, 2 to 16.
std::string TemporaryNameFor(const std::string& targetName, unsigned long long random);

// Whether `name` (without folder) has the form of an AtomicFile's temporary name.
bool IsTemporaryName(const std::string& name);

// Removes the files in `folder` named as AtomicFile's temporary files whose lock no process
// holds: left by a writer that was killed. Files being written, and anything else, stay.
// Returns how many went; an unreadable folder removes nothing.
int RemoveAbandonedFiles(const std::string& folder);

}  // namespace pellix::os
