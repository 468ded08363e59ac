// The package build: stages the inputs, runs the five programs and delivers the .nds file.
#pragma once

#include <functional>
#include <string>
#include <type_traits>
#include <utility>

#include "shell_wait.h"

namespace pellix {

// Where a build reads its settings from. Each read returns the current value at the
// moment of the call (the main window answers from its controls); the pipeline calls
// each read at the moment its step needs the value and caches nothing.
class SettingsSource {
  public:
    virtual ~SettingsSource() = default;
    virtual std::string RomPath() = 0;        // txtROM, as typed
    virtual std::string OutputFolder() = 0;   // txtOutput
    virtual std::string Title(int line) = 0;  // txtTitle1..3, line in 1..3
    virtual std::string IconFile() = 0;       // txtIcon
    virtual std::string BorderFile() = 0;     // txtBorder
    virtual bool CustomizeOpen() = 0;         // the window's CustomizeOpen flag
    virtual int PsramValue() = 0;             // chkPSRAM value: 0, 1 or 2; only 1 is on
    virtual int CompressionValue() = 0;       // chkCompression value: 0, 1 or 2; only 1 is on
    virtual void SetGoEnabled(bool enabled) = 0;
    // Shows a message (caption "Quillmere", one OK button) and returns once dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
};

// Runs one command line of a build with a working directory and returns when the program
// has ended. Made from a function of (command line, working folder), or from one of the
// command line alone, which is left to run its programs in the current directory (only
// right for RunBuild, which enters the folder first). The default, and
// modShellWait::RunAndWait under either signature, is modShellWait::RunAndWait in the
// working folder.
class ToolRunner {
  public:
    using Function = std::function<modShellWait::RunResult(const std::string& commandLine,
                                                           const std::string& workingDir)>;

    ToolRunner();
    ToolRunner(modShellWait::RunResult (*run)(const std::string& commandLine));
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

// cmdGo_Click's body: a build in the installation's own bin folder, which it makes the
// current directory as the design has it (the current directory stays there). The same as
// RunBuildIn(source, appDir, appDir + separator + "bin", runner) otherwise. A failure to
// enter bin stops the build like any other.
bool RunBuild(SettingsSource& source, const std::string& appDir,
              const ToolRunner& runner = ToolRunner());

// One build with the working folder `workDir`: switches Go off, resolves the sources,
// removes working files an earlier build left in `workDir`, stages the ROM, border, icon
// and mode file there, runs gzip (when compression is on), grit, gbacrusher, ndstool and
// efs from `appDir`/bin through `runner` with `workDir` as their working directory,
// delivers `workDir`/x.nds to the output path under a temporary name and renames it into
// place, removes the working files, shows "Complete!" and switches Go on. Each setting is
// read when its step comes. Never changes, and never reads, the process's current
// directory, except to find a relative icon or border name, as the window's other
// controls find it; so builds in different working folders may run side by side, in
// threads of one process or in several processes.
//
// `appDir` is the installation folder without a trailing separator: the programs come
// from its bin folder, the default pictures from its gfx folder. Relative ROM and output
// paths are taken from that bin folder (so an empty output folder delivers into bin); a
// caller meaning another folder passes absolute paths.
//
// `workDir` is an absolute folder that must hold, before the build starts:
//   7.bin, 9.bin  the DS-side program images, handed to ndstool by these relative names;
//   data/         the staging folder; everything in it apart from the build's own files
//                 is packed into the package as the installation's bin/data is.
// The build writes x.nds, border.bmp, border.img.bin, icon.bmp, data/mode.txt,
// data/game, data/game.gz, data/game.gba and data/border.lz7 there and removes them
// again, whether it succeeds or fails. It also keeps pellix.lock there, an empty file it
// leaves in place: while a build holds its lock, a build of another process in the same
// folder is refused with a message (the lock goes with the process, a crash included). The
// installation's bin folder is itself such a folder; a private one is a fresh folder with copies of
// bin/7.bin, bin/9.bin and of whatever the user keeps in bin/data.
//
// Returns true when the package was delivered. Any failure stops the build at that
// point: the working files are removed, the failure is shown through source.ShowMessage
// and Go is switched on again. A build whose ROM, output, icon or border path is one of
// the working files is refused before anything is touched.
// A call made while this process runs another build in the same working folder does
// nothing and returns false.
bool RunBuildIn(SettingsSource& source, const std::string& appDir, const std::string& workDir,
                const ToolRunner& runner = ToolRunner());

// True while this process runs a build (in any working folder), from switching Go off to
// switching it on again.
bool BuildRunning();

// The banner text handed to ndstool: "Pellix" when line 1 is blank, else line 1, then
// line 2 and line 3 each after a ";" for as long as no blank line comes. A line is blank
// when it holds nothing but spaces; the lines are used untrimmed.
std::string BannerText(const std::string& line1, const std::string& line2,
                       const std::string& line3);

// Where the package goes: the output folder, a separator unless the folder is empty or
// already ends in one ("/" or "\"), the ROM's base name less ".gba" (any case), ".nds".
std::string OutputPath(const std::string& outputFolder, const std::string& romPath);

}  // namespace pellix
