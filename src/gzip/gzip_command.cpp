// The gzip program's behaviour, file by file: pack in memory or unpack as a stream, write aside, rename.
#include "gzip/gzip_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <system_error>

#include "gzip/deflate_engine.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "gzip/gzip_member.h"
#include "system/atomic_file.h"
#include "system/files.h"

namespace pellix::gzip {

const char kUsage[] =
    "usage: gzip [-1..-9|--fast|--best] [-cdfklnNqrtv] [-p N] [-S SUF] [--synchronous] [FILE...]";

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using formats::FormatError;
using Mode = GzipOptions::Mode;
using Names = GzipOptions::Names;

// A failure of one file: `file` is the name the message starts with.
struct FileFailure {
    std::string file;
    std::string cause;
};

// Where one run keeps its streams, its seam and how it is going.
struct Run {
    const GzipOptions& options;
    Disk& disk;
    Console& console;
    int status = 0;
    // -l over several files ends with their totals.
    uint64_t listedPacked = 0, listedUnpacked = 0, listedPayload = 0;
    int listed = 0;

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
    std::vector<Suffix> known = {{Lower(options.suffix), ""}, {".gz", ""}, {".tgz", ".tar"},
                                 {".taz", ".tar"},           {"-gz", ""}, {".z", ""},
                                 {"-z", ""},                 {"_z", ""}};
    if (options.suffix.empty()) known.erase(known.begin());
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
            throw FileFailure{name, "not a regular file, left alone"};
        if (facts.folder) throw FileFailure{name, "is a folder"};
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
        throw FileFailure{"stdout", "cannot write: " + os::ErrorReason(errno)};
}

void FlushStdout(Run& run) {
    if (!run.disk.Flush(run.console.out))
        throw FileFailure{"stdout", "cannot write: " + os::ErrorReason(errno)};
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

// Unpacks `in` into `write`; warns about ignored trailing bytes.
UnpackReport Unpack(Run& run, const std::string& name, std::FILE* in, const WriteBytes& write) {
    const GzipOptions& o = run.options;
    const ReadBytes read = [&](uint8_t* into, size_t size) {
        const size_t got = std::fread(into, 1, size, in);
        if (got == 0 && std::ferror(in)) throw FileFailure{name, "cannot read: " + os::ErrorReason(errno)};
        return got;
    };
    UnpackReport report;
    try {
        report = UnpackStream(read, write, UINT64_MAX,
                              o.mode == Mode::kUnpack && o.toStdout && o.force);
    } catch (const FormatError& e) {
        throw FileFailure{name, e.what()};
    } catch (const std::bad_alloc&) {
        throw FileFailure{name, "not enough memory to unpack"};
    }
    if (report.garbageSize > 0) run.Warn(name, "decompression OK, trailing garbage ignored");
    return report;
}

void PackStream(Run& run) {
    if (!run.options.force && os::IsTerminal(run.console.out))
        throw FileFailure{"stdout", "packed data not written to a terminal (-f forces it)"};
    const Bytes input = ReadAll(run.console.in, "stdin", run.options.maxSize);
    const Bytes packed = Pack(run, "stdin", input, MemberInfo{});
    WriteStdout(run, packed.data(), packed.size());
    FlushStdout(run);
}

void RunOnStreams(Run& run) {
    const GzipOptions& o = run.options;
    if (o.mode == Mode::kPack) return PackStream(run);
    if (o.mode == Mode::kList) throw FileFailure{"stdin", "cannot list standard input"};
    if (!o.force && os::IsTerminal(run.console.in))
        throw FileFailure{"stdin", "packed data not read from a terminal (-f forces it)"};
    if (o.mode == Mode::kTest) {
        Unpack(run, "stdin", run.console.in, [](const uint8_t*, size_t) {});
        return;
    }
    Unpack(run, "stdin", run.console.in,
           [&](const uint8_t* data, size_t size) { WriteStdout(run, data, size); });
    FlushStdout(run);
}

// The time a packed header can hold for `name`, with a warning when it cannot hold its own.
uint32_t StorableTime(Run& run, const std::string& name) {
    const int64_t mtime = os::Inspect(name).mtime;
    if (mtime >= 0 && mtime <= INT64_C(0xFFFFFFFF)) return static_cast<uint32_t>(mtime);
    run.Warn(name, "file time out of range for gzip format, stored as 0");
    return 0;
}

void RemoveInput(Run& run, const std::string& name, const std::string& output) {
    if (run.options.keep) return;
    std::error_code ec;
    if (!fs::remove(fs::u8path(name), ec) && ec)
        throw FileFailure{name, "written to " + output +
                                    ", but cannot remove it: " + os::ErrorReason(ec)};
}

void PackFile(Run& run, const std::string& name) {
    const GzipOptions& o = run.options;
    const std::vector<Suffix> known = KnownSuffixes(o);
    if (const Suffix* s = KnownSuffix(known, name))
        throw FileFailure{name, "already has the " + s->packed + " suffix, left alone"};
    const std::string output = name + o.suffix;
    const bool toFile = !o.toStdout;
    // Refused before the work, and checked again before the rename.
    if (toFile && !o.force && os::Inspect(output).exists)
        throw FileFailure{output, "already exists; not replaced (-f replaces it)"};
    if (toFile && os::Inspect(output).folder) throw FileFailure{output, "is a folder"};
    if (!toFile && !o.force && os::IsTerminal(run.console.out))
        throw FileFailure{"stdout", "packed data not written to a terminal (-f forces it)"};

    const Bytes input = ReadInput(name, o.toStdout, o.maxSize);
    MemberInfo info;
    if (o.names != Names::kNone) {
        info.name = fs::u8path(name).filename().u8string();
        info.mtime = StorableTime(run, name);
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
    const bool test = o.mode == Mode::kTest;
    const bool toFile = !test && !o.toStdout;
    std::string output = UnpackedName(o, name);
    if (output.empty() && toFile)
        throw FileFailure{name, "unknown suffix (not .gz or another gzip knows), left alone"};
    InputFile in(name, !toFile);
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
    const bool restore = o.names == Names::kRestore;
    // With -N the name comes from the header, known only once it is read: the output is
    // written aside in the same folder and named at the end.
    if (!o.force && !restore && os::Inspect(output).exists)
        throw FileFailure{output, "already exists; not replaced (-f replaces it)"};
    if (os::Inspect(output).folder) throw FileFailure{output, "is a folder"};
    const std::unique_ptr<os::AtomicFile> aside = WriteAside(output);
    const UnpackReport report = Unpack(run, name, in.file, [&](const uint8_t* data, size_t size) {
        WriteAsideBytes(run, *aside, data, size);
    });
    int64_t mtime = 0;
    if (restore) {
        // Only the last part of the stored name, never a way out of the folder, and never
        // the input itself, which is removed once the output is in place.
        const std::string stored = fs::u8path(report.first.name).filename().u8string();
        const std::string named = (fs::u8path(output).parent_path() / fs::u8path(stored)).u8string();
        if (!stored.empty() && stored != "." && stored != ".." &&
            fs::u8path(stored) != fs::u8path(name).filename())
            output = named;
        mtime = report.first.mtime;
        if (!o.force && os::Inspect(output).exists)
            throw FileFailure{output, "already exists; not replaced (-f replaces it)"};
        aside->Retarget(output);
    }
    Complete(run, *aside, name, mtime, o.force);
    in.Close();
    RemoveInput(run, name, output);
    run.Tell(name + ":\t" + (o.keep ? "created " : "replaced with ") + output);
}

void ListFile(Run& run, const std::string& name) {
    InputFile in(name, true);
    // The header from the start, the last member's length from the end, as gzip -l does.
    Bytes head(65536);
    head.resize(std::fread(head.data(), 1, head.size(), in.file));
    size_t headerSize = 0;
    try {
        headerSize = HeaderSize(head.data(), head.size());
    } catch (const FormatError& e) {
        throw FileFailure{name, e.what()};
    }
    const os::FileFacts facts = os::Inspect(name);
    uint64_t packed = head.size();
    uint8_t last[4] = {};
    if (facts.regular) {
        std::error_code ec;
        packed = fs::file_size(fs::u8path(name), ec);
        if (packed < headerSize + 8 || std::fseek(in.file, -4, SEEK_END) != 0 ||
            std::fread(last, 1, 4, in.file) != 4)
            throw FileFailure{name, "corrupt: the file is cut short (no CRC and length at its end)"};
    } else {
        throw FileFailure{name, "not a regular file, cannot list"};
    }
    const uint64_t unpacked = uint64_t{last[0]} | uint64_t{last[1]} << 8 |
                              uint64_t{last[2]} << 16 | uint64_t{last[3]} << 24;
    const uint64_t payload = packed - headerSize - 8;
    if (run.listed++ == 0)
        std::fprintf(run.console.out, "         compressed        uncompressed  ratio uncompressed_name\n");
    std::string shown = UnpackedName(run.options, name);
    if (shown.empty()) shown = name;
    std::fprintf(run.console.out, "%19ju %19ju %s %s\n", static_cast<uintmax_t>(packed),
                 static_cast<uintmax_t>(unpacked), Ratio(payload, unpacked).c_str(), shown.c_str());
    run.listedPacked += packed;
    run.listedUnpacked += unpacked;
    run.listedPayload += payload;
}

void RunOnName(Run& run, const std::string& name);

void RunOnFolder(Run& run, const std::string& name) {
    std::vector<std::string> entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::u8path(name), ec))
        entries.push_back(entry.path().u8string());
    if (ec) throw FileFailure{name, os::ErrorReason(ec)};
    std::sort(entries.begin(), entries.end());
    for (const std::string& entry : entries) {
        // Only files gzip knows what to do with: packed ones when unpacking, others when packing.
        if (!os::Inspect(entry).folder) {
            const bool packedName = KnownSuffix(KnownSuffixes(run.options), entry) != nullptr;
            if ((run.options.mode == Mode::kPack) == packedName) continue;
        }
        RunOnName(run, entry);
    }
}

void RunOnName(Run& run, const std::string& name) {
    try {
        if (name == "-") return RunOnStreams(run);
        const os::FileFacts facts = os::Inspect(name);
        if (facts.folder && run.options.recursive) {
            // A link to a folder is not followed, as gzip -r does, lest it loop.
            std::error_code ec;
            if (fs::is_symlink(fs::u8path(name), ec)) return;
            return RunOnFolder(run, name);
        }
        if (facts.folder) throw FileFailure{name, "is a folder"};
        if (!facts.exists) throw FileFailure{name, "no such file"};
        switch (run.options.mode) {
            case Mode::kPack:
                return PackFile(run, name);
            case Mode::kList:
                return ListFile(run, name);
            default:
                return UnpackFile(run, name);
        }
    } catch (const FileFailure& failure) {
        std::fprintf(run.console.err, "gzip: %s: %s\n", failure.file.c_str(),
                     failure.cause.c_str());
        run.status = 1;
    }
}

}  // namespace

bool Disk::Write(std::FILE* file, const uint8_t* data, size_t size) {
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

bool Disk::Flush(std::FILE* file) {
    return std::fflush(file) == 0;
}

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
        {"c", [&] { options.toStdout = true; }}, {"d", [&] { unpack = true; }},
        {"k", [&] { options.keep = true; }},     {"f", [&] { options.force = true; }},
        {"t", [&] { test = true; }},             {"l", [&] { list = true; }},
        {"v", [&] { options.verbose = true; }},  {"q", [&] { options.quiet = true; }},
        {"r", [&] { options.recursive = true; }},
        {"n", [&] { options.names = Names::kNone; }},
        {"N", [&] { options.names = Names::kRestore; }},
        {"h", [&] { options.help = true; }},     {"V", [&] { options.version = true; }},
    };
    const std::map<std::string, std::string> longFlags = {
        {"stdout", "c"},  {"to-stdout", "c"}, {"decompress", "d"}, {"uncompress", "d"},
        {"keep", "k"},    {"force", "f"},     {"test", "t"},       {"list", "l"},
        {"verbose", "v"}, {"quiet", "q"},     {"recursive", "r"},  {"no-name", "n"},
        {"name", "N"},    {"help", "h"},      {"version", "V"}};
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
            const std::string key = a.substr(2, equals == std::string::npos ? std::string::npos
                                                                           : equals - 2);
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
    options.mode = list     ? Mode::kList
                   : test   ? Mode::kTest
                   : unpack ? Mode::kUnpack
                            : Mode::kPack;
    if (options.files.empty()) options.files.push_back("-");
    return options;
}

int RunGzip(const GzipOptions& options, Disk& disk, Console& console) {
    os::SetBinary(console.in);
    os::SetBinary(console.out);
    Run run{options, disk, console};
    for (const std::string& name : options.files) RunOnName(run, name);
    if (run.listed > 1)
        std::fprintf(console.out, "%19ju %19ju %s (totals)\n",
                     static_cast<uintmax_t>(run.listedPacked),
                     static_cast<uintmax_t>(run.listedUnpacked),
                     Ratio(run.listedPayload, run.listedUnpacked).c_str());
    if (options.mode == Mode::kList && std::fflush(console.out) != 0) {
        std::fprintf(console.err, "gzip: stdout: cannot write: %s\n", os::ErrorReason(errno).c_str());
        return 1;
    }
    return run.status;
}

}  // namespace pellix::gzip
