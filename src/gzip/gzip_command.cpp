// The gzip program's behaviour, file by file: pack in memory or unpack as a stream, write aside, rename.
#include "gzip/gzip_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <system_error>

#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "gzip/deflate_engine.h"
#include "gzip/gzip_format.h"
#include "gzip/gzip_member.h"
#include "system/atomic_file.h"
#include "system/files.h"
#include "system/platform.h"

namespace pellix::gzip {

const char kUsage[] =
    "usage: gzip [-1..-9|--fast|--best] [-cdfklnNqrtv] [-p N] [-S SUF] [--synchronous] [FILE...]";

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using formats::FormatError;
using Mode = GzipOptions::Mode;
using Names = GzipOptions::Names;

// A file that is not done: `file` is the name the message starts with. As with GNU gzip, a
// warning (exit status 2) leaves the file alone, an error (1) fails it, and a damaged or
// cut-short stream ends the whole run.
struct FileFailure {
    enum class Severity { kWarning, kError, kEndsRun };
    std::string file;
    std::string cause;
    Severity severity = Severity::kError;
};
using Severity = FileFailure::Severity;

// Thrown after a failure that ends the run has been reported.
struct RunEnded {};

// Where one run keeps its streams, its seam and how it is going.
struct Run {
    const GzipOptions& options;
    Disk& disk;
    Console& console;
    int status = 0;
    // -l prints a heading before the first file it lists, and totals. The header bytes
    // are the last file's, counted out of the ratio (0 for several members), as gzip does.
    uint64_t listedPacked = 0, listedUnpacked = 0, headerBytes = 0;
    bool listed = false;

    void Warn(const std::string& file, const std::string& what) {
        if (!options.quiet) std::fprintf(console.err, "gzip: %s: %s\n", file.c_str(), what.c_str());
        if (status == 0) status = 2;
    }
    void Tell(const std::string& line) {
        if (options.verbose && !options.quiet) std::fprintf(console.err, "%s\n", line.c_str());
    }
};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The suffixes gzip knows, and what each becomes when unpacked; compared ignoring case, as
// gzip does (GAME.GZ is a .gz file too).
struct Suffix {
    std::string packed, unpacked;
};

std::vector<Suffix> KnownSuffixes(const GzipOptions& options) {
    std::vector<Suffix> known = {{".gz", ""}, {".z", ""}, {".taz", ".tar"}, {".tgz", ".tar"},
                                 {"-gz", ""}, {"-z", ""}, {"_z", ""}};
    const std::string own = Lower(options.suffix);
    if (own.empty()) return known;
    // -S SUF is tried first, unless it is the end of one of the others (-S z): then last,
    // so that "a.gz" still unpacks to "a".
    const bool tail = std::any_of(known.begin(), known.end(), [&](const Suffix& s) {
        return own.size() < s.packed.size() &&
               s.packed.compare(s.packed.size() - own.size(), own.size(), own) == 0;
    });
    known.insert(tail ? known.end() : known.begin(), Suffix{own, ""});
    return known;
}

// The suffix of `name` gzip knows, or nullptr.
const Suffix* KnownSuffix(const std::vector<Suffix>& known, const std::string& name) {
    const std::string file = Lower(fs::u8path(name).filename().u8string());
    for (const Suffix& s : known)
        if (file.size() > s.packed.size() &&
            file.compare(file.size() - s.packed.size(), s.packed.size(), s.packed) == 0)
            return &s;
    return nullptr;
}

// The name an unpacked file gets, or "" when `name` has no suffix gzip knows.
std::string UnpackedName(const GzipOptions& options, const std::string& name) {
    const std::vector<Suffix> known = KnownSuffixes(options);
    const Suffix* s = KnownSuffix(known, name);
    if (!s) return {};
    return name.substr(0, name.size() - s->packed.size()) + s->unpacked;
}

// "-66.7%": how much smaller the deflate data is than what it holds, as gzip shows it.
std::string Ratio(uint64_t payload, uint64_t unpacked) {
    char text[32];
    const double ratio =
        unpacked == 0 ? 0.0 : 100.0 * (double(unpacked) - double(payload)) / double(unpacked);
    std::snprintf(text, sizeof text, "%5.1f%%", ratio);
    return text;
}

Bytes ReadAll(std::FILE* in, const std::string& name, size_t maxSize) {
    Bytes bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        if (bytes.size() + got > maxSize)
            throw FileFailure{name, "too large: more than " + std::to_string(maxSize) +
                                        " bytes (this gzip packs in memory)"};
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(in)) throw FileFailure{name, "cannot read: " + os::ErrorReason(errno)};
    return bytes;
}

// An input file opened for reading; regular files only unless `anyKind` (-c reads pipes
// and devices too, as gzip does).
struct InputFile {
    std::FILE* file = nullptr;
    InputFile(const std::string& name, bool anyKind) {
        const os::FileFacts facts = os::Inspect(name);
        if (facts.exists && !facts.regular && !facts.folder && !anyKind)
            throw FileFailure{name, "not a regular file, left alone", Severity::kWarning};
        if (facts.folder) throw FileFailure{name, "is a folder, left alone", Severity::kWarning};
        file = os::OpenForReading(name);
        if (!file) throw FileFailure{name, os::ErrorReason(errno)};
    }
    ~InputFile() { Close(); }
    // Windows cannot remove a file that is open: closed before the input is removed.
    void Close() {
        if (file) std::fclose(file);
        file = nullptr;
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
};

Bytes ReadInput(const std::string& name, bool anyKind, size_t maxSize) {
    const os::FileFacts facts = os::Inspect(name);
    if (facts.regular) {
        try {
            return formats::ReadFileBytes(name, maxSize);
        } catch (const FormatError& e) {
            const std::string why = e.what();
            if (why.rfind("too large", 0) == 0)
                throw FileFailure{name, why + " (this gzip packs in memory)"};
            throw FileFailure{name, why};
        }
    }
    InputFile in(name, anyKind);
    return ReadAll(in.file, name, maxSize);
}

// The output's temporary file beside it (os::AtomicFile), removed on any failure or stop.
std::unique_ptr<os::AtomicFile> WriteAside(const std::string& output) {
    try {
        return std::make_unique<os::AtomicFile>(output, true, true);
    } catch (const os::FileError& e) {
        throw FileFailure{output, "cannot write: " + e.reason()};
    }
}

void WriteAsideBytes(Run& run, os::AtomicFile& out, const uint8_t* data, size_t size) {
    if (!run.disk.Write(out.stream(), data, size))
        throw FileFailure{out.target(), "cannot write: " + os::ErrorReason(errno)};
}

// Completes the output: it takes `like`'s permissions and time (or `mtime` when not 0)
// and replaces what is at its name only when `replace`.
void Complete(Run& run, os::AtomicFile& out, const std::string& like, int64_t mtime,
              bool replace) {
    if (!run.disk.Flush(out.stream()))
        throw FileFailure{out.target(), "cannot write: " + os::ErrorReason(errno)};
    try {
        out.CloseStream(run.options.synchronous);
        std::error_code ec;
        // A folder that refuses time or permissions is no reason to fail.
        const fs::perms perms = fs::status(fs::u8path(like), ec).permissions();
        if (!ec) fs::permissions(fs::u8path(out.path()), perms, ec);
        if (mtime != 0)
            os::SetModificationTime(out.path(), mtime);
        else
            fs::last_write_time(fs::u8path(out.path()), fs::last_write_time(fs::u8path(like), ec),
                                ec);
        if (!out.Commit(replace))
            throw FileFailure{out.target(), "already exists; not replaced (-f replaces it)"};
    } catch (const os::FileError& e) {
        throw FileFailure{out.target(), "cannot write: " + e.reason()};
    }
}

void WriteStdout(Run& run, const uint8_t* data, size_t size) {
    if (!run.disk.Write(run.console.out, data, size))
        throw FileFailure{"stdout", "cannot write: " + os::ErrorReason(errno), Severity::kEndsRun};
}

void FlushStdout(Run& run) {
    if (!run.disk.Flush(run.console.out))
        throw FileFailure{"stdout", "cannot write: " + os::ErrorReason(errno), Severity::kEndsRun};
}

// Whether the output goes to standard output: -c, and -t and -l, which write none.
bool ToStdout(const GzipOptions& o) {
    return o.toStdout || o.mode == Mode::kTest || o.mode == Mode::kList;
}

// The whole input packed into one member; `name` for messages.
Bytes Pack(Run& run, const std::string& name, const Bytes& input, const MemberInfo& info) {
    try {
        return PackMember(input.data(), input.size(), run.options.level, info,
                          run.options.threads);
    } catch (const std::bad_alloc&) {
        throw FileFailure{name, "not enough memory to pack " + std::to_string(input.size()) +
                                    " bytes"};
    } catch (const std::system_error& e) {
        throw FileFailure{name, std::string("cannot start a thread to pack: ") + e.what()};
    } catch (const std::runtime_error& e) {
        throw FileFailure{name, e.what()};
    }
}

// Unpacks `in` into `write` (`starts` is told before the first byte); warns about bytes
// after the last member as gzip does: garbage always, zeros with -v. Standard input is
// unpacked to standard output even without -c.
UnpackReport Unpack(Run& run, const std::string& name, std::FILE* in, const WriteBytes& write,
                    const UnpackStarts& starts = nullptr, bool standardInput = false) {
    const bool toStdout = standardInput || ToStdout(run.options);
    const GzipOptions& o = run.options;
    const ReadBytes read = [&](uint8_t* into, size_t size) {
        const size_t got = std::fread(into, 1, size, in);
        if (got == 0 && std::ferror(in))
            throw FileFailure{name, "cannot read: " + os::ErrorReason(errno), Severity::kEndsRun};
        return got;
    };
    // -cdf and -tf pass on what is not gzip; -lf only takes it as GNU gzip -f does.
    const Reading reading = !o.force || !toStdout   ? Reading::kStrict
                            : o.mode == Mode::kList ? Reading::kForced
                                                    : Reading::kPassThrough;
    UnpackReport report;
    try {
        report = UnpackStream(read, write, UINT64_MAX, reading, starts);
    } catch (const DamagedStream& e) {
        throw FileFailure{name, e.what(), Severity::kEndsRun};
    } catch (const FormatError& e) {
        throw FileFailure{name, e.what()};
    } catch (const std::bad_alloc&) {
        throw FileFailure{name, "not enough memory to unpack"};
    }
    if (report.trailing == Trailing::kGarbage)
        run.Warn(name, "decompression OK, trailing garbage ignored");
    if (report.trailing == Trailing::kZeros && o.verbose)
        run.Warn(name, "decompression OK, trailing zero bytes ignored");
    return report;
}

// The time a packed header can hold for a file of time `mtime`, with a warning when it
// cannot hold its own: 0 means "no time" in the format, so a file of 1970-01-01 00:00:00
// gets a warning too.
uint32_t StorableTime(Run& run, const std::string& name, int64_t mtime) {
    if (mtime > 0 && mtime <= INT64_C(0xFFFFFFFF)) return static_cast<uint32_t>(mtime);
    run.Warn(name, "file time out of range for gzip format, stored as 0");
    return 0;
}

void PackStream(Run& run) {
    if (!run.options.force && os::IsTerminal(run.console.out))
        throw FileFailure{"stdout", "packed data not written to a terminal (-f forces it)",
                          Severity::kEndsRun};
    // Standard input redirected from a file gives its time, as in GNU gzip; a pipe none.
    const os::FileFacts facts = os::InspectOpen(run.console.in);
    const Bytes input = ReadAll(run.console.in, "stdin", run.options.maxSize);
    MemberInfo info;
    if (facts.regular && run.options.names != Names::kNone)
        info.mtime = StorableTime(run, "stdin", facts.mtime);
    const Bytes packed = Pack(run, "stdin", input, info);
    WriteStdout(run, packed.data(), packed.size());
    FlushStdout(run);
}

// Prints -l's totals line as gzip does: only once something with a size was listed.
void ListTotals(Run& run) {
    const GzipOptions& o = run.options;
    if (run.listedPacked == 0 || run.listedUnpacked == 0) return;
    if (o.verbose) std::fprintf(run.console.out, "%28s", "");
    if (o.verbose || !o.quiet)
        std::fprintf(run.console.out, "%19ju %19ju ", static_cast<uintmax_t>(run.listedPacked),
                     static_cast<uintmax_t>(run.listedUnpacked));
    std::fprintf(
        run.console.out, "%s (totals)\n",
        Ratio(run.listedPacked - std::min(run.headerBytes, run.listedPacked), run.listedUnpacked)
            .c_str());
}

// -l: the stream is unpacked to count what it holds (the length in the last trailer is
// only the size modulo 4 GiB, and that of the last member alone), then listed as gzip
// lists it: "method crc date time" first with -v, the stored name with -N. Like GNU gzip,
// a stream followed by other bytes is not listed, only the totals so far.
void ListStream(Run& run, const std::string& name, std::FILE* in, const std::string& shown,
                int64_t fileTime, const UnpackStarts& starts = nullptr) {
    const GzipOptions& o = run.options;
    run.headerBytes = 0;
    const UnpackReport report = Unpack(run, name, in, [](const uint8_t*, size_t) {}, starts);
    if (report.trailing != Trailing::kNothing) return ListTotals(run);
    if (!run.listed && !o.quiet) {
        if (o.verbose) std::fprintf(run.console.out, "method  crc     date  time  ");
        std::fprintf(run.console.out, "%19s %19s  ratio uncompressed_name\n", "compressed",
                     "uncompressed");
    }
    run.listed = true;
    std::string named = shown;
    int64_t time = fileTime;
    if (o.names == Names::kRestore) {
        // The stored name in the file's own folder.
        const std::string stored = fs::u8path(report.first.name).filename().u8string();
        if (!stored.empty()) named = shown.substr(0, shown.find_last_of("/\\") + 1) + stored;
        if (report.time != 0) time = report.time;
    }
    if (o.verbose) {
        static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        std::fprintf(run.console.out, "defla %08x ", static_cast<unsigned>(report.lastCrc));
        const std::time_t t = static_cast<std::time_t>(time);
        const std::tm* local = std::localtime(&t);
        if (local)
            std::fprintf(run.console.out, "%s%3d %02d:%02d ", kMonths[local->tm_mon],
                         local->tm_mday, local->tm_hour, local->tm_min);
        else
            std::fprintf(run.console.out, "??? ?? ??:?? ");
    }
    run.headerBytes = report.members == 1 ? report.firstHeaderSize + format::kTrailerSize : 0;
    const uint64_t packed = report.packedSize;
    std::fprintf(run.console.out, "%19ju %19ju %s %s\n", static_cast<uintmax_t>(packed),
                 static_cast<uintmax_t>(report.unpackedSize),
                 Ratio(packed - std::min(run.headerBytes, packed), report.unpackedSize).c_str(),
                 named.c_str());
    run.listedPacked += packed;
    run.listedUnpacked += report.unpackedSize;
}

void RunOnStreams(Run& run) {
    const GzipOptions& o = run.options;
    if (o.mode == Mode::kPack) return PackStream(run);
    if (o.mode != Mode::kList && !o.force && os::IsTerminal(run.console.in))
        throw FileFailure{"stdin", "packed data not read from a terminal (-f forces it)",
                          Severity::kEndsRun};
    // Standard input that does not start as gzip ends the run, as in GNU gzip.
    bool started = false;
    const UnpackStarts starts = [&](const UnpackReport&) { started = true; };
    try {
        if (o.mode == Mode::kList) {
            const os::FileFacts facts = os::InspectOpen(run.console.in);
            // A pipe has no time: GNU gzip shows the first second of 1970.
            return ListStream(run, "stdin", run.console.in, "stdout",
                              facts.regular ? facts.mtime : 0, starts);
        }
        if (o.mode == Mode::kTest) {
            Unpack(
                run, "stdin", run.console.in, [](const uint8_t*, size_t) {}, starts, true);
            return;
        }
        Unpack(
            run, "stdin", run.console.in,
            [&](const uint8_t* data, size_t size) { WriteStdout(run, data, size); }, starts, true);
    } catch (FileFailure& failure) {
        if (!started) failure.severity = Severity::kEndsRun;
        throw;
    }
    FlushStdout(run);
}

void RemoveInput(Run& run, const std::string& name, const std::string& output) {
    if (run.options.keep) return;
    std::error_code ec;
    if (!fs::remove(fs::u8path(name), ec) && ec)
        throw FileFailure{name, "written to " + output +
                                    ", but cannot remove it: " + os::ErrorReason(ec)};
}

[[noreturn]] void Exists(const std::string& output) {
    throw FileFailure{output, "already exists; not replaced (-f replaces it)", Severity::kWarning};
}

void PackFile(Run& run, const std::string& name) {
    const GzipOptions& o = run.options;
    const bool toFile = !o.toStdout;
    const std::vector<Suffix> known = KnownSuffixes(o);
    if (const Suffix* s = KnownSuffix(known, name); s && toFile && !o.force) {
        // A note, not a warning: GNU gzip leaves the exit status alone, and -r walks past
        // packed files without a word.
        if (o.verbose || (!o.recursive && !o.quiet))
            std::fprintf(run.console.err, "gzip: %s: already has the %s suffix, left alone\n",
                         name.c_str(), s->packed.c_str());
        return;
    }
    const std::string output = name + o.suffix;
    // Refused before the work, and checked again before the rename.
    if (toFile && os::Inspect(output).folder)
        throw FileFailure{output, "is a folder", Severity::kWarning};
    if (toFile && !o.force && os::Inspect(output).exists) Exists(output);
    if (!toFile && !o.force && os::IsTerminal(run.console.out))
        throw FileFailure{"stdout", "packed data not written to a terminal (-f forces it)",
                          Severity::kEndsRun};

    const Bytes input = ReadInput(name, o.toStdout, o.maxSize);
    MemberInfo info;
    if (o.names != Names::kNone) {
        info.name = fs::u8path(name).filename().u8string();
        info.mtime = StorableTime(run, name, os::Inspect(name).mtime);
    }
    // The output's temporary file is made first: its name is taken before the work, and a
    // stop during the work removes it.
    std::unique_ptr<os::AtomicFile> aside;
    if (toFile) aside = WriteAside(output);
    const Bytes packed = Pack(run, name, input, info);
    const size_t headerAndTrailer = 10 + 8 + (info.name.empty() ? 0 : info.name.size() + 1);
    const std::string ratio = Ratio(packed.size() - headerAndTrailer, input.size());
    if (!toFile) {
        WriteStdout(run, packed.data(), packed.size());
        FlushStdout(run);
        run.Tell(name + ":\t" + ratio);
        return;
    }
    WriteAsideBytes(run, *aside, packed.data(), packed.size());
    Complete(run, *aside, name, 0, o.force);
    RemoveInput(run, name, output);
    run.Tell(name + ":\t" + ratio + " -- " + (o.keep ? "created " : "replaced with ") + output);
}

void UnpackFile(Run& run, const std::string& name) {
    const GzipOptions& o = run.options;
    const bool test = o.mode == Mode::kTest, list = o.mode == Mode::kList;
    const bool toFile = !ToStdout(o);
    std::string output = UnpackedName(o, name);
    // Files without a suffix gzip knows are tested and listed too, but not unpacked (nor
    // tested or listed in a folder walked by -r); -c unpacks whatever it is given.
    if (output.empty() && (toFile || ((test || list) && o.recursive))) {
        if (o.verbose || (!o.recursive && !o.quiet))
            throw FileFailure{name, "unknown suffix (not .gz or another gzip knows), left alone",
                              Severity::kWarning};
        return;
    }
    InputFile in(name, !toFile);
    if (list) {
        ListStream(run, name, in.file, output.empty() ? name : output, os::Inspect(name).mtime);
        return;
    }
    if (test) {
        Unpack(run, name, in.file, [](const uint8_t*, size_t) {});
        run.Tell(name + ":\t OK");
        return;
    }
    if (!toFile) {
        Unpack(run, name, in.file,
               [&](const uint8_t* data, size_t size) { WriteStdout(run, data, size); });
        FlushStdout(run);
        return;
    }
    // The output is made once the first header is read, as gzip makes it: input that is
    // not gzip is reported as such even where the output exists, and with -N the name
    // comes from the header.
    std::unique_ptr<os::AtomicFile> aside;
    const UnpackStarts starts = [&](const UnpackReport& first) {
        if (o.names == Names::kRestore) {
            // Only the last part of the stored name, never a way out of the folder, and
            // never the input itself, which is removed once the output is in place.
            const std::string stored = fs::u8path(first.first.name).filename().u8string();
            if (!stored.empty() && stored != "." && stored != ".." &&
                fs::u8path(stored) != fs::u8path(name).filename())
                output = (fs::u8path(output).parent_path() / fs::u8path(stored)).u8string();
        }
        if (os::Inspect(output).folder)
            throw FileFailure{output, "is a folder", Severity::kWarning};
        if (!o.force && os::Inspect(output).exists) Exists(output);
        aside = WriteAside(output);
    };
    const UnpackReport report = Unpack(
        run, name, in.file,
        [&](const uint8_t* data, size_t size) { WriteAsideBytes(run, *aside, data, size); },
        starts);
    const int64_t mtime = o.names == Names::kRestore ? report.time : 0;
    Complete(run, *aside, name, mtime, o.force);
    in.Close();
    RemoveInput(run, name, output);
    run.Tell(name + ":\t" + (o.keep ? "created " : "replaced with ") + output);
}

void RunOnName(Run& run, const std::string& name);

void RunOnFolder(Run& run, const std::string& name) {
    std::vector<std::string> entries;
    std::error_code ec;
    // Named as GNU gzip names them, "folder/file", on every system.
    const char last = name.back();
    const std::string folder = last == '/' || last == os::kPathSeparator ? name : name + "/";
    for (const auto& entry : fs::directory_iterator(fs::u8path(name), ec))
        entries.push_back(folder + entry.path().filename().u8string());
    if (ec) throw FileFailure{name, os::ErrorReason(ec)};
    std::sort(entries.begin(), entries.end());
    for (const std::string& entry : entries) RunOnName(run, entry);
}

// When unpacking, a name that is not there may be given without its suffix (gzip -d game
// for game.gz): the file with the first known suffix that exists, else "".
std::string WithSuffix(const GzipOptions& o, const std::string& name) {
    if (KnownSuffix(KnownSuffixes(o), name)) return {};
    for (const std::string& suffix :
         {o.suffix, std::string(".gz"), std::string(".z"), std::string("-z"), std::string(".Z")})
        if (os::Inspect(name + suffix).exists) return name + suffix;
    return {};
}

void RunOnName(Run& run, const std::string& given) {
    const GzipOptions& o = run.options;
    std::string name = given;
    try {
        if (name == "-") return RunOnStreams(run);
        os::FileFacts facts = os::Inspect(name);
        if (!facts.exists && o.mode != Mode::kPack) {
            const std::string found = WithSuffix(o, name);
            if (found.empty() && !KnownSuffix(KnownSuffixes(o), name))
                throw FileFailure{name + o.suffix, "no such file"};
            if (!found.empty()) facts = os::Inspect(name = found);
        }
        if (facts.folder && o.recursive) {
            // A link to a folder is not followed, as gzip -r does, lest it loop.
            std::error_code ec;
            if (fs::is_symlink(fs::u8path(name), ec)) return;
            return RunOnFolder(run, name);
        }
        if (facts.folder) throw FileFailure{name, "is a folder, left alone", Severity::kWarning};
        if (!facts.exists) throw FileFailure{name, "no such file"};
        if (o.mode == Mode::kPack) return PackFile(run, name);
        return UnpackFile(run, name);
    } catch (const FileFailure& failure) {
        if (failure.severity == Severity::kWarning) return run.Warn(failure.file, failure.cause);
        std::fprintf(run.console.err, "gzip: %s: %s\n", failure.file.c_str(),
                     failure.cause.c_str());
        run.status = 1;
        if (failure.severity == Severity::kEndsRun) throw RunEnded{};
    }
}

}  // namespace

bool Disk::Write(std::FILE* file, const uint8_t* data, size_t size) {
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

bool Disk::Flush(std::FILE* file) {
    return std::fflush(file) == 0;
}

namespace {

// The long option `key` names, given whole or cut short where no other starts the same
// way, as GNU gzip's getopt takes them (--dec for --decompress).
std::string FullOptionName(const std::string& given, const std::string& key,
                           const std::map<std::string, std::string>& flags) {
    std::vector<std::string> names = {"processes", "suffix",      "fast",
                                      "best",      "synchronous", "rsyncable"};
    for (const auto& [name, flag] : flags) names.push_back(name);
    std::vector<std::string> matches;
    for (const std::string& name : names) {
        if (name == key) return name;
        if (!key.empty() && name.rfind(key, 0) == 0) matches.push_back(name);
    }
    if (matches.size() == 1) return matches[0];
    throw UsageError((matches.empty() ? "unknown option " : "ambiguous option ") + given);
}

}  // namespace

GzipOptions ParseArguments(const std::vector<std::string>& args) {
    GzipOptions options;
    bool unpack = false, test = false, list = false, filesOnly = false;
    const auto threads = [&](const std::string& value) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || n < 1 || n > 1024 || value[0] == '-')
            throw UsageError("-p takes a number of threads from 1 to 1024, not \"" + value + "\"");
        options.threads = static_cast<unsigned>(n);
    };
    // Short options that take a value: joined (-p4) or the next argument.
    const std::map<char, std::function<void(const std::string&)>> valued = {
        {'p', threads}, {'S', [&](const std::string& v) { options.suffix = v; }}};
    const std::map<std::string, std::function<void()>> flags = {
        {"c", [&] { options.toStdout = true; }},
        {"d", [&] { unpack = true; }},
        {"k", [&] { options.keep = true; }},
        {"f", [&] { options.force = true; }},
        {"t", [&] { test = true; }},
        {"l", [&] { list = true; }},
        // -v and -q undo each other: the last one counts.
        {"v",
         [&] {
             options.verbose = true;
             options.quiet = false;
         }},
        {"q",
         [&] {
             options.quiet = true;
             options.verbose = false;
         }},
        {"r", [&] { options.recursive = true; }},
        {"n", [&] { options.names = Names::kNone; }},
        {"N", [&] { options.names = Names::kRestore; }},
        {"h", [&] { options.help = true; }},
        {"V", [&] { options.version = true; }},
    };
    const std::map<std::string, std::string> longFlags = {
        {"stdout", "c"},  {"to-stdout", "c"}, {"decompress", "d"}, {"uncompress", "d"},
        {"keep", "k"},    {"force", "f"},     {"test", "t"},       {"list", "l"},
        {"verbose", "v"}, {"quiet", "q"},     {"recursive", "r"},  {"no-name", "n"},
        {"name", "N"},    {"help", "h"},      {"version", "V"},    {"silent", "q"},
        {"license", "V"}};
    for (size_t at = 0; at < args.size(); ++at) {
        const std::string& a = args[at];
        const auto value = [&](const std::string& option) {
            if (at + 1 >= args.size()) throw UsageError("option " + option + " needs a value");
            return args[++at];
        };
        if (filesOnly || a == "-" || a.empty() || a[0] != '-') {
            options.files.push_back(a);
        } else if (a == "--") {
            filesOnly = true;
        } else if (a.rfind("--", 0) == 0) {
            const size_t equals = a.find('=');
            const std::string key = FullOptionName(
                a, a.substr(2, equals == std::string::npos ? std::string::npos : equals - 2),
                longFlags);
            const bool hasValue = equals != std::string::npos;
            if (key == "processes" || key == "suffix") {
                const std::string v = hasValue ? a.substr(equals + 1) : value(a);
                valued.at(key == "processes" ? 'p' : 'S')(v);
            } else if (hasValue) {
                throw UsageError("unknown option " + a);
            } else if (key == "fast") {
                options.level = 1;
            } else if (key == "best") {
                options.level = BestLevel();
            } else if (key == "synchronous") {
                options.synchronous = true;
            } else if (key == "rsyncable") {
                // Accepted for the scripts that pass it; every output is a valid gzip file
                // either way, and ours are reproducible already.
            } else if (longFlags.count(key)) {
                flags.at(longFlags.at(key))();
            } else {
                throw UsageError("unknown option " + a);
            }
        } else {
            for (size_t i = 1; i < a.size(); ++i) {
                const char c = a[i];
                if (valued.count(c)) {
                    const std::string joined = a.substr(i + 1);
                    valued.at(c)(joined.empty() ? value(std::string("-") + c) : joined);
                    break;
                }
                if (c >= '1' && c <= '9') {
                    options.level = c == '9' ? BestLevel() : c - '0';
                } else if (flags.count(std::string(1, c))) {
                    flags.at(std::string(1, c))();
                } else {
                    throw UsageError(std::string("unknown option -") + c);
                }
            }
        }
    }
    options.mode = list ? Mode::kList : test ? Mode::kTest : unpack ? Mode::kUnpack : Mode::kPack;
    // An empty suffix would unpack a file onto itself; GNU gzip's limit is 30 bytes.
    if (options.suffix.empty() || options.suffix.size() > 30)
        throw UsageError("invalid suffix '" + options.suffix + "'");
    if (options.files.empty()) options.files.push_back("-");
    return options;
}

int RunGzip(const GzipOptions& options, Disk& disk, Console& console) {
    os::SetBinary(console.in);
    os::SetBinary(console.out);
    Run run{options, disk, console};
    try {
        for (const std::string& name : options.files) RunOnName(run, name);
    } catch (const RunEnded&) {
        std::fflush(console.out);
        return 1;
    }
    if (options.mode == Mode::kList && !options.quiet && options.files.size() > 1) ListTotals(run);
    if (options.mode == Mode::kList && std::fflush(console.out) != 0) {
        std::fprintf(console.err, "gzip: stdout: cannot write: %s\n", os::ErrorReason(errno).c_str());
        return 1;
    }
    return run.status;
}

}  // namespace pellix::gzip
