// The package build: stages the inputs, runs the five programs and delivers the .nds file.
#pragma once

#include <functional>
#include <string>

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

// Runs one command line; the default is modShellWait::RunAndWait.
using ToolRunner = std::function<modShellWait::RunResult(const std::string& commandLine)>;

// cmdGo_Click's body: switches Go off, resolves the sources, enters `appDir`/bin (the
// current directory stays there), removes working files an earlier build left, stages the
// ROM, border, icon and mode file, runs gzip (when compression is on), grit, gbacrusher,
// ndstool and efs through `runner`, delivers x.nds to the output path under a temporary
// name and renames it into place, removes the working files, shows "Complete!" and
// switches Go on. Each setting is read when its step comes. `appDir` is the installation
// folder without a trailing separator.
// Returns true when the package was delivered. Any failure stops the build at that
// point: the working files are removed, the failure is shown through source.ShowMessage
// and Go is switched on again. A build whose ROM, output, icon or border path is one of
// the working files is refused before anything is touched.
// A call made while another build is running does nothing and returns false.
bool RunBuild(SettingsSource& source, const std::string& appDir,
              const ToolRunner& runner = modShellWait::RunAndWait);

// True while a build is running, from switching Go off to switching it on again.
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
