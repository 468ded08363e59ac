// The package build: stages the inputs, runs the five programs and delivers the .nds file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "builder/picture_staging.h"
#include "builder/shell_wait.h"

namespace pellix {

// What one package is made of, as plain values. Relative ROM and output paths are taken
// from the installation's bin folder, relative picture paths from the current folder (as
// the window finds them).
struct BuildRequest {
    std::string rom;           // the ROM file, as typed
    std::string outputFolder;  // "" delivers into the installation's bin folder
    std::string titles[3];     // the banner's lines (see BannerLines in build_checks.h)
    std::string icon;          // a custom icon; "" or a file that is not there: gfx/icon.bmp
    std::string border;        // a custom border; "" or missing: gfx/border.bmp
    bool psram = true;         // the first mode letter, P or N
    bool compression = true;   // gzip the ROM (second mode letter C) or not (U)
    bool replace = true;       // false: a package already there is kept, the build Skipped
    // The icon and border already converted (a batch converts them once for all its builds);
    // when set, `icon` and `border` are not read.
    std::shared_ptr<const StagedPictures> pictures;
};

// How a build ended.
enum class BuildOutcome {
    Delivered,  // the package is in place
    Skipped,    // the package was made, but one was already there and is kept
    Refused,    // nothing was started: the request cannot be built as it is
    Failed,     // a step failed; nothing of the build is left behind
};

struct BuildResult {
    BuildOutcome kind = BuildOutcome::Failed;
    std::string package;  // where the package goes, absolute
    std::string reason;   // why it was not delivered, for a line of a report ("" when it was)
    std::string message;  // the whole text to show the user ("Complete!" when delivered)
};

// The text shown when a build has delivered its package.
extern const char kComplete[];
// The text shown for a build without a ROM.
extern const char kChooseRomFirst[];

// Runs one command line of a build with a working directory and returns when the program
// has ended. Made from a function of (command line, working folder), or from one of the
// command line alone (which then runs in the caller's current directory). The default is
// modShellWait::RunAndWait in the working folder.
class ToolRunner {
  public:
    using Function = std::function<modShellWait::RunResult(const std::string& commandLine,
                                                           const std::string& workingDir)>;

    ToolRunner();
    template <typename F,
              std::enable_if_t<std::is_invocable_r_v<modShellWait::RunResult, F&,
                                                     const std::string&, const std::string&>,
                               int> = 0>
    ToolRunner(F run) : run_(std::move(run)) {}
    template <
        typename F,
        std::enable_if_t<!std::is_invocable_v<F&, const std::string&, const std::string&> &&
                             std::is_invocable_r_v<modShellWait::RunResult, F&, const std::string&>,
                         int> = 0>
    ToolRunner(F run)
        : run_([run = std::move(run)](const std::string& commandLine, const std::string&) mutable {
              return run(commandLine);
          }) {}

    // Runs `commandLine` in `workingDir` ("" for the current directory).
    modShellWait::RunResult operator()(const std::string& commandLine,
                                       const std::string& workingDir = std::string()) const {
        return run_(commandLine, workingDir);
    }

  private:
    Function run_;
};

// One build of the installation at `appDir` (no trailing separator): checks the request
// (CheckRequest, build_checks.h: the ROM, title, pictures, staging folders and output
// folder, before anything is written or run), makes a private working folder below
// `tempParent` (the system's temporary folder when "") holding copies of the DS images and
// data files (FindDsInputs: the user's folder first, then bin; a name in two data folders
// refuses the build), stages the ROM, border, icon and mode file
// there, runs gzip (when compression is on), grit, gbacrusher, ndstool and efs from bin
// through `runner` with that folder as their working directory, delivers x.nds to the
// output path under a temporary name and renames it into place (never over a file when
// `replace` is false), and removes the working folder, however the build ended.
//
// Never writes into the installation, never reads a file another build writes, and never
// changes the current directory: builds may run side by side, in threads of one process
// or in several processes, on one installation, read-only or not. Never throws; a failure
// is in the result.
BuildResult Build(const BuildRequest& request, const std::string& appDir,
                  const ToolRunner& runner = ToolRunner(), const std::string& tempParent = "");

// The inputs digest a build of `request` stamps into its package (see package_record.h),
// with `stagedFiles` the StagedFilesDigest of a working folder of the installation
// `appDir`. The picture files are those `request.pictures` came from, else those the build
// would take. Throws files::FileError naming a file that cannot be read.
std::uint64_t RequestDigest(const BuildRequest& request, const std::string& appDir,
                            std::uint64_t stagedFiles);

// Why a package at `output`, which may not be replaced, was not built.
std::string PackageExistsReason(const std::string& output);

// The arguments that hand the banner's `lines` (BannerLines) and the staged icon to
// ndstool: the classic -b icon.bmp "Line 1;Line 2", or, when a line holds a ';' of its
// own, -bl icon.bmp with the lines separated by line breaks (our ndstool's form, in which
// a ';' is a character of its line).
std::string BannerArguments(const std::vector<std::string>& lines);

// Where the package goes (paths::OutputPath).
std::string OutputPath(const std::string& outputFolder, const std::string& romPath);

}  // namespace pellix
