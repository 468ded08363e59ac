// A temporary installation whose five programs are played in-process, for window-logic tests.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "builder/build_pipeline.h"
#include "test_support.h"

namespace pellix::test {

// bin/ with its staging folder and the DS-side images, gfx/ with the default pictures; the
// application directory points here for the object's lifetime.
class FakeInstallation {
  public:
    FakeInstallation();
    ~FakeInstallation();

    // Plays the five programs in the build's working folder: each leaves the file the build
    // expects of it, ndstool a
    // package reading "package " followed by the mode file. `during` runs while the named
    // program "runs"; a program named in `failing` exits with 1.
    ToolRunner Runner(std::map<std::string, std::function<void()>> during = {},
                      std::string failing = "");

    // A file of `size` bytes below the installation's ROM folder (sparse where possible).
    std::string MakeRom(const std::string& name, std::uintmax_t size = 1024) const;

    const std::filesystem::path& app() const { return app_; }
    const std::filesystem::path& bin() const { return bin_; }
    const std::filesystem::path& roms() const { return roms_; }
    std::string AppDir() const { return app_.string(); }

  private:
    TempDir root_{"pellix-app"};
    std::filesystem::path previous_;
    std::filesystem::path app_, bin_, roms_;
};

}  // namespace pellix::test
