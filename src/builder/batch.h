// Batch builds: one package per ROM, each in a working folder of its own, several at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/build_pipeline.h"
#include "builder/rom_names.h"

namespace pellix {

// What every package of a batch shares.
struct BatchSettings {
    std::string outputFolder;  // "" puts each package beside its ROM
    bool titleGiven = false;   // false: line 1 is each ROM's name, lines 2 and 3 empty
    std::string titles[3];     // when given; an empty line 1 stands for the ROM's name
    std::string icon;          // "" (or a file that is not there) for gfx/icon.bmp
    std::string border;        // "" (or a file that is not there) for gfx/border.bmp
    // Pictures named like a ROM, which it takes before `icon` and `border`.
    PictureFinder icons;
    PictureFinder borders;
    // Titles by ROM name, which a ROM takes before `titles` (an empty line 1 of an entry
    // stands for the ROM's name).
    std::vector<TitleEntry> titleList;
    bool psram = true;         // ROMs larger than kPsramLimit are built without it anyway
    bool compression = true;
    bool force = false;  // replace an existing package instead of skipping the ROM
    // A title that is the ROM's name alone is split into up to three lines that fit the
    // menu (FitTitle); a title given in any other way is kept as it is.
    bool fitTitles = false;
    // A package that is there is rebuilt only when it would differ (its stamp names other
    // inputs); one current is left as it is, one changed by hand is kept unless `force`.
    bool update = false;
};

enum class JobState {
    Waiting,      // planned, not built yet
    Built,        // the package was delivered
    Failed,       // the ROM cannot be built, or its build failed
    Skipped,      // its package exists and --force was not given, or the ROM was given twice
    UpToDate,     // with update: its package is current and was left as it is
    Interrupted,  // the run was stopped before this package was finished
};

// A ROM to build and the folder below the output folder its package goes into.
struct BatchRom {
    std::string path;       // as given
    std::string subfolder;  // relative, "/"-separated; "" for the output folder itself
    std::string problem;    // why it cannot be built, found while collecting; "" when none
};

// The ROMs that `args` name: each file as it is, and with `recursive` every file named
// .gba (any case) below each folder, in name order, its subfolder the folder it lies in
// relative to the folder given (links to folders are not followed, so no loop is walked).
// A folder without any ROM below it is kept, with that problem. Never throws.
std::vector<BatchRom> CollectRoms(const std::vector<std::string>& args, bool recursive);

// One ROM of a batch and what became of it.
struct Job {
    std::string rom;           // as given
    std::string subfolder;     // below the output folder, as collected
    std::string romPath;       // absolute
    std::string outputFolder;  // absolute, as the build is given it
    std::string output;        // the package's absolute path
    std::string titles[3];
    std::string icon;    // the picture found by name, else the batch's ("": the default)
    std::string border;  // the same for the border
    bool ownIcon = false;    // the icon was found by the ROM's name
    bool ownBorder = false;  // the border was found by the ROM's name
    bool psram = true;
    bool replace = false;  // its package is there and stale: the build replaces it
    std::int64_t romSize = 0;
    std::string notice;        // shown before the build, such as the PSRAM notice
    std::string titleNotice;   // the ROM's name was cut to fit the title; "" when not
    std::string droppedWords;  // words of the name that found no room in the fitted title
    // The icon and border converted (shared by the jobs that use the same pictures); when
    // not set, RunBatch converts `icon` and `border` (each distinct file once).
    std::shared_ptr<const StagedPictures> pictures;
    JobState state = JobState::Waiting;
    std::string reason;            // why it failed or was skipped
    bool packageKept = false;      // Skipped because its package exists (force replaces it)
    std::int64_t packageSize = 0;  // when built
    double seconds = 0;            // how long its build took
};

// Decides each ROM's package and settings, by the rules a ROM chosen in the window sets
// off, after checking up front what every ROM shares (build_checks.h): a typed title that
// does not fit, a picture that cannot be used, a staging folder holding a name the build
// needs, or an output folder (settings.outputFolder) that cannot be written throws
// InputRefused, for the whole batch, before anything is built. The pictures are decoded
// and converted there, once, and every job gets them. Then it settles at once the ROMs
// that cannot be built (RomRefusal: none, missing, a folder, empty, too large,
// unreadable), an output folder that cannot be written or lies in the installation
// `appDir`, a package that exists (skipped unless settings.force), a ROM whose package
// would be another ROM of the batch, and ROMs that would make the same package as another
// (all of them fail: which ROM would win is no choice to make for the user). A ROM named
// twice under one name is built once; under another name (a symbolic or a hard link) the
// second is skipped as given twice. Each ROM's name as line 1 is cut to the room the
// typed lines leave (told in Job::titleNotice). Relative paths are taken from the current
// folder. Never throws for a bad ROM.
std::vector<Job> PlanBatch(const std::vector<std::string>& roms, const BatchSettings& settings,
                           const std::string& appDir);
// The same for collected ROMs: with an output folder each package goes into its ROM's
// subfolder there, made when the build starts.
std::vector<Job> PlanCollection(const std::vector<BatchRom>& roms, const BatchSettings& settings,
                           const std::string& appDir);

// Told of the progress of RunBatch; calls never overlap.
class BatchObserver {
  public:
    virtual ~BatchObserver() = default;
    virtual void Started(const Job& job) = 0;
    virtual void Finished(const Job& job) = 0;
    // A job settled without a build (its package current, or changed by hand, or its
    // picture unusable): no Started came before.
    virtual void Settled(const Job& job) { Finished(job); }
    // Called about twice a second while builds run in other threads, for a clock.
    virtual void Tick() {}
    // Whether the user has asked to stop; asked before each build starts. The default is
    // modShellWait::CancelRequested(), set by an interrupt.
    virtual bool Cancelled() { return modShellWait::CancelRequested(); }
};

// The entries of `list` that name no ROM of `jobs`: "line 5: no ROM of this batch is
// named X", one a line.
std::vector<std::string> UnmatchedTitles(const std::vector<TitleEntry>& list,
                                         const std::vector<Job>& jobs);

// Builds one package; the default is Build with a runner that tries a program that could
// not be started once more.
using JobBuilder = std::function<BuildResult(const BuildRequest& request, const std::string& appDir)>;

BuildResult BuildRetryingStarts(const BuildRequest& request, const std::string& appDir);

// Builds the Waiting jobs with up to `parallel` builds at once, in the order given, and
// settles each as Built, Failed, Skipped, UpToDate or Interrupted. With settings.update the
// packages that are there are judged first, on up to `parallel` threads, from one working
// folder's DS images and data files (see package_record.h). Each distinct picture is converted
// once, before the first build, and shared by the builds that use it (a ROM whose picture
// cannot be used fails with the reason); working folders a killed build left
// behind are removed first. With `parallel` 1 the builds run on the calling thread, one
// after another (a window's event pump then keeps it live). Once observer.Cancelled() is
// true no further build starts and every job not built is Interrupted. Returns when no
// build runs any more.
void RunBatch(std::vector<Job>& jobs, const BatchSettings& settings, const std::string& appDir,
              int parallel, BatchObserver& observer, const JobBuilder& build = BuildRetryingStarts);

// The program's exit status for a finished batch: 0 when every package was built or was
// up to date, else 1.
int ExitStatus(const std::vector<Job>& jobs);

}  // namespace pellix
