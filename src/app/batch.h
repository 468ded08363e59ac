// Batch builds: one package per ROM, several at once, each in a working folder of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "build_pipeline.h"

namespace pellix::app {

// What every package of a batch shares.
struct BatchSettings {
    std::string outputFolder;  // "" puts each package beside its ROM
    bool titleGiven = false;   // false: line 1 is each ROM's name, lines 2 and 3 empty
    std::string titles[3];     // when given; an empty line 1 stands for the ROM's name
    std::string icon;          // "" for gfx/icon.bmp
    std::string border;        // "" for gfx/border.bmp
    bool psram = true;         // ROMs larger than kPsramLimit are built without it anyway
    bool compression = true;
    bool force = false;  // replace an existing package instead of skipping the ROM
};

enum class JobState {
    Waiting,      // planned, not built yet
    Built,        // the package was delivered
    Failed,       // the ROM cannot be built, or its build failed
    Skipped,      // its package exists and --force was not given
    Interrupted,  // the run was stopped before this package was finished
};

// One ROM of a batch and what became of it.
struct Job {
    std::string rom;           // as given
    std::string romPath;       // absolute
    std::string outputFolder;  // absolute, as the pipeline is given it
    std::string output;        // the package's absolute path
    std::string titles[3];
    bool psram = true;
    std::int64_t romSize = 0;
    std::string notice;  // shown before the build, such as the PSRAM notice
    JobState state = JobState::Waiting;
    std::string reason;            // why it failed or was skipped
    std::int64_t packageSize = 0;  // when built
    double seconds = 0;            // how long its build took
};

// Decides each ROM's package and settings, by the rules a ROM chosen in the window sets
// off, and settles at once the ROMs that cannot be built: a missing or unreadable ROM,
// a folder, an output folder that cannot be written, a package that exists (skipped
// unless settings.force), a ROM whose package would be another ROM of the batch, and ROMs
// that would make the same package as another (all of them fail: which ROM would win is
// no choice to make for the user). A ROM named twice is built once. Relative paths are
// taken from the current folder. Never throws for a bad ROM.
std::vector<Job> PlanBatch(const std::vector<std::string>& roms, const BatchSettings& settings);

// Told of the progress of RunBatch; calls never overlap.
class BatchObserver {
  public:
    virtual ~BatchObserver() = default;
    virtual void Started(const Job& job) = 0;
    virtual void Finished(const Job& job) = 0;
    // Called about twice a second while builds run, for a clock or an estimate.
    virtual void Tick() {}
};

// Builds one job's package in `workFolder`, the installation being `appDir`, and returns
// whether it was delivered; `message` gets the reason when not. Settles nothing else.
using JobBuilder = std::function<bool(const Job& job, const BatchSettings& settings,
                                      const std::string& appDir, std::string& message)>;

// The real build: a fresh working folder (below the system's temporary folder), the
// pipeline run in it with the job's settings, the folder removed afterwards. A program
// that could not be started is tried once more.
bool BuildInWorkFolder(const Job& job, const BatchSettings& settings, const std::string& appDir,
                       std::string& message);

// Builds the Waiting jobs with up to `parallel` builds at once, in the order given, and
// settles each as Built, Failed or Interrupted. Once modShellWait::CancelAll has been
// called no further build starts, the running ones are stopped by it, and every job
// not built is Interrupted. Returns when no build runs any more.
void RunBatch(std::vector<Job>& jobs, const BatchSettings& settings, const std::string& appDir,
              int parallel, BatchObserver& observer, const JobBuilder& build = BuildInWorkFolder);

// The program's exit status for a finished batch: 0 when every package was built, else 1.
int ExitStatus(const std::vector<Job>& jobs);

}  // namespace pellix::app
