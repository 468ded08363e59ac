// The gzip program's command line and what it does with each file, behind a seam for writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellix::gzip {

// The largest file the program packs, and the most an in-memory unpack may give. Packing
// works in memory (the input and its packed form, about twice the input); unpacking and
// testing run as a stream and have no limit.
constexpr size_t kMaxFileSize = size_t{1} << 30;

// The one-line usage text.
extern const char kUsage[];

// What the command line asks for.
struct GzipOptions {
    enum class Mode { kPack, kUnpack, kTest, kList };
    // -n and -N: whether the header's name and time are stored (packing) or used (unpacking).
    enum class Names { kDefault, kNone, kRestore };
    Mode mode = Mode::kPack;
    int level = 6;                   // the engine's level; -9 and --best give BestLevel()
    unsigned threads = 0;            // -p N: at most N threads; 0: one per core
    bool toStdout = false;           // -c: write to standard output, keep the inputs
    bool keep = false;               // -k: keep the inputs
    bool force = false;              // -f: replace outputs, write to a terminal, pass non-gzip on
    bool verbose = false;            // -v: name and ratio of each file on standard error
    bool quiet = false;              // -q: no warnings (they still give exit status 2)
    bool recursive = false;          // -r: the files in folders, and in their folders
    bool synchronous = false;        // --synchronous: outputs on the disk before inputs go
    Names names = Names::kDefault;
    std::string suffix = ".gz";      // -S SUF
    bool help = false;               // -h, --help
    bool version = false;            // -V, --version
    std::vector<std::string> files;  // "-" is standard input; none means just "-"
    size_t maxSize = kMaxFileSize;   // the limit above (tests lower it)
};

// A command line the program does not accept; what() says what is wrong.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name: -1..-9, --fast, --best, -c, -d, -k, -f, -t,
// -l, -v, -q, -r, -n, -N, -S SUF, -p N, --synchronous (short ones may be joined: -dc,
// -p4), their long forms (--suffix=SUF too), -h, -V, "--" and files. Throws UsageError
// for anything else.
GzipOptions ParseArguments(const std::vector<std::string>& args);

// Where every byte the program writes goes through: files under their temporary names and
// standard output. Tests replace it to play a full disk.
class Disk {
  public:
    virtual ~Disk() = default;
    // Writes all `size` bytes; false with errno set when not all of them could be written.
    virtual bool Write(std::FILE* file, const uint8_t* data, size_t size);
    // Pushes buffered bytes out; false with errno set when that fails.
    virtual bool Flush(std::FILE* file);
};

// The standard streams the program works with.
struct Console {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Packs, unpacks, tests or lists each file as `options` say, answering as GNU gzip does;
// help and version are the caller's. A failure prints one line "gzip: FILE: cause" to
// console.err and moves on to the next file, except a damaged or cut-short stream (and
// standard input that is not gzip), which ends the run; a failed file leaves its input as
// it was and no output, not even a partial one (outputs are written under a temporary name
// and renamed when complete; inputs are removed only after that). A warning (an output
// that exists, trailing garbage, a file time gzip cannot store, ...) leaves the file alone
// and prints one line unless -q. Returns the exit status as gzip's: 0 when all went well,
// 1 after a failure, else 2 after a warning.
int RunGzip(const GzipOptions& options, Disk& disk, Console& console);

}  // namespace pellix::gzip
