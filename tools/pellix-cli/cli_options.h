// The command line of pellix-cli: what it may hold and what it means.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "builder/batch.h"

namespace pellix::app {

// The command line is wrong; what() names the option or file and says why, in one line.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The largest number of builds at once that -j accepts.
constexpr int kMaxJobs = 256;

struct CliOptions {
    std::vector<std::string> roms;  // in the order given (folders too, with -r)
    std::string outputFolder;       // -o; "" puts each package beside its ROM
    bool titleGiven = false;        // --title was given
    std::string titles[3];          // its lines; an empty line 1 stands for the ROM's name
    std::string icon;               // --icon; "" for the installation's default
    std::string border;             // --border; "" for the installation's default
    std::string iconFolder;         // --icons: pictures named like the ROMs
    std::string borderFolder;       // --borders
    std::string titleList;          // --titles: the file of titles by ROM name
    bool psram = true;              // false with --no-psram
    bool compression = true;        // false with --no-compression
    int jobs = 0;                   // -j; 0 for the number of cores
    bool force = false;             // --force
    bool fitTitles = false;         // --fit-titles
    bool update = false;            // -u: only packages missing or stale
    bool recursive = false;         // -r: folders among the ROMs stand for the ROMs below
    bool quiet = false;             // -q
    bool help = false;              // --help: show the usage and do nothing else
    bool version = false;           // --version: show the version and do nothing else
};

// Reads the arguments after the program name. Options may come before, between or after
// the ROMs; "--" ends them. A value follows its option ("-o DIR", "--output DIR") or is
// joined to it ("--output=DIR", "-oDIR", "-j4"). A repeated option takes its last value.
// Throws UsageError for an unknown option, a missing or bad value, or no ROM at all
// (unless --help or --version is given).
CliOptions ParseCommandLine(const std::vector<std::string>& args);

// Checks what the options name on disk: the output folder must be a folder, the icon and
// the border must be files that can be read. Throws UsageError naming the option.
void CheckNamedFiles(const CliOptions& options);

// The batch settings the options give, with every path made absolute (from the current
// folder), so that no later change of folder alters what they name. Reads the picture
// folders and the title list, and throws UsageError when one cannot be used.
BatchSettings ToBatchSettings(const CliOptions& options);

// The text --help shows; `defaultJobs` is the number -j takes when not given.
std::string UsageText(int defaultJobs);

}  // namespace pellix::app
