// Scratch folders and whole-file reads and writes for tests and benchmarks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace pellix::testing {

// A fresh folder below the system's temporary folder, removed with everything in it
// (write permission given back first, so a test that took it away still cleans up).
class TempDir {
  public:
    explicit TempDir(const std::string& hint = "pellix-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::string ReadFile(const std::filesystem::path& path);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// A package's bytes less the stamp a build appends to it (formats/package_stamp.h), for
// tests that compare what the programs made.
std::string ReadPackageBody(const std::filesystem::path& path);

// The file's text with "\r\n" read as "\n".
std::string ReadText(const std::filesystem::path& path);

// Sets an environment variable of this process, which the programs it starts inherit, for
// the object's life; it is removed afterwards.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name_;
};

// Asks `ready` every few milliseconds until it is true (returns true) or 20 s have passed
// (returns false).
bool WaitFor(const std::function<bool()>& ready);

}  // namespace pellix::testing
