// The gzip program's behaviour, file by file: read whole, pack or unpack, write aside, rename.
#include "gzip_command.h"

#include <cerrno>
#include <filesystem>
#include <new>
#include <random>

#include "deflate_engine.h"
#include "file_bytes.h"
#include "format_error.h"
#include "gzip_member.h"
#include "files.h"
#include "platform.h"

namespace pellix::gzip {

const char kUsage[] = "usage: gzip [-1..-9|--fast|--best] [-c] [-d] [-k] [-f] [-t] [FILE...]";

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using formats::ErrnoText;
using formats::FormatError;

// A failure of one file: `file` is the name the message starts with.
struct FileFailure {
    std::string file;
    std::string cause;
};

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        char a = text[text.size() - end.size() + i];
        // File names are case-blind on Windows: GAME.GZ is a .gz file too.
        if (os::kPathsIgnoreCase && a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != end[i]) return false;
    }
    return true;
}

// The name an unpacked file gets, or "" when `name` has no suffix gzip knows.
std::string UnpackedName(const std::string& name) {
    if (EndsWith(name, ".tgz")) return name.substr(0, name.size() - 4) + ".tar";
    if (EndsWith(name, ".gz") && name.size() > 3) {
        const std::string stem = name.substr(0, name.size() - 3);
        if (!stem.empty() && stem.back() != '/' && stem.back() != '\\') return stem;
    }
    return {};
}

Bytes ReadStream(std::FILE* in, size_t maxSize) {
    Bytes bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        if (bytes.size() + got > maxSize)
            throw FileFailure{"stdin", "too large: more than " + std::to_string(maxSize) +
                                           " bytes (this gzip works in memory)"};
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(in)) throw FileFailure{"stdin", "cannot read: " + ErrnoText(errno)};
    return bytes;
}

Bytes ReadInput(const std::string& name, size_t maxSize) {
    const os::FileFacts facts = os::Inspect(name);
    if (facts.exists && !facts.regular && !facts.folder)
        throw FileFailure{name, "not a regular file, left alone"};
    try {
        return formats::ReadFileBytes(name, maxSize);
    } catch (const FormatError& e) {
        const std::string why = e.what();
        if (why.rfind("too large", 0) == 0)
            throw FileFailure{name, why + " (this gzip works in memory)"};
        throw FileFailure{name, why};
    }
}

// Writes `bytes` to `output` under a temporary name beside it and renames it into place;
// `like` is the input whose time and permissions the output takes over. On any failure
// the temporary file is gone and `output` is as it was.
void WriteAside(Disk& disk, const std::string& output, const Bytes& bytes, const std::string& like,
                bool replace) {
    std::random_device random;
    std::string temp;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        temp = output + suffix;
        file = os::CreateNewFile(temp);
        if (!file && errno != EEXIST) break;
    }
    if (!file) throw FileFailure{output, "cannot write: " + ErrnoText(errno)};

    bool ok = disk.Write(file, bytes.data(), bytes.size()) && disk.Flush(file);
    int error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    std::error_code ec;
    if (ok) {
        // The output keeps the input's time and permissions, as gzip's does; a folder that
        // refuses them is no reason to fail.
        fs::last_write_time(fs::u8path(temp), fs::last_write_time(fs::u8path(like), ec), ec);
        const fs::perms perms = fs::status(fs::u8path(like), ec).permissions();
        if (!ec) fs::permissions(fs::u8path(temp), perms, ec);
        // Checked again right before the rename: another program may have made it meanwhile.
        if (!replace && os::Inspect(output).exists) {
            fs::remove(fs::u8path(temp), ec);
            throw FileFailure{output, "already exists; not replaced (-f replaces it)"};
        }
        if (os::RenameOver(temp, output)) return;
        error = errno;
    }
    fs::remove(fs::u8path(temp), ec);
    throw FileFailure{output, "cannot write: " + ErrnoText(error)};
}

void WriteStdout(Disk& disk, Console& console, const Bytes& bytes) {
    if (!disk.Write(console.out, bytes.data(), bytes.size()) || !disk.Flush(console.out))
        throw FileFailure{"stdout", "cannot write: " + ErrnoText(errno)};
}

Bytes Transform(const GzipOptions& options, const std::string& name, const Bytes& input,
                const MemberInfo& info) {
    try {
        if (options.mode == GzipOptions::Mode::kPack)
            return PackMember(input.data(), input.size(), options.level, info);
        return UnpackMembers(input.data(), input.size(), options.maxSize);
    } catch (const FormatError& e) {
        throw FileFailure{name, e.what()};
    } catch (const std::bad_alloc&) {
        throw FileFailure{name, "not enough memory for " + std::to_string(input.size()) + " bytes"};
    }
}

void RunOnStreams(const GzipOptions& options, Disk& disk, Console& console) {
    const bool pack = options.mode == GzipOptions::Mode::kPack;
    if (pack && !options.force && os::IsTerminal(console.out))
        throw FileFailure{"stdout", "packed data not written to a terminal (-f forces it)"};
    if (!pack && !options.force && os::IsTerminal(console.in))
        throw FileFailure{"stdin", "packed data not read from a terminal (-f forces it)"};
    const Bytes input = ReadStream(console.in, options.maxSize);
    const Bytes output = Transform(options, "stdin", input, MemberInfo{});
    if (options.mode != GzipOptions::Mode::kTest) WriteStdout(disk, console, output);
}

void RunOnFile(const GzipOptions& options, const std::string& name, Disk& disk, Console& console) {
    const bool pack = options.mode == GzipOptions::Mode::kPack;
    const bool test = options.mode == GzipOptions::Mode::kTest;
    std::string output;
    if (pack) {
        if (EndsWith(name, ".gz"))
            throw FileFailure{name, "already has the .gz suffix, left alone"};
        output = name + ".gz";
    } else {
        output = UnpackedName(name);
        if (output.empty() && !test && !options.toStdout)
            throw FileFailure{name, "unknown suffix (not .gz or .tgz), left alone"};
    }
    const bool toFile = !test && !options.toStdout;
    // Refused before the work, and checked again before the rename.
    if (toFile && !options.force && os::Inspect(output).exists)
        throw FileFailure{output, "already exists; not replaced (-f replaces it)"};
    if (toFile && os::Inspect(output).folder) throw FileFailure{output, "is a folder"};
    if (options.toStdout && pack && !options.force && os::IsTerminal(console.out))
        throw FileFailure{"stdout", "packed data not written to a terminal (-f forces it)"};

    const Bytes input = ReadInput(name, options.maxSize);
    MemberInfo info;
    if (pack) {
        info.name = fs::u8path(name).filename().u8string();
        const int64_t mtime = os::Inspect(name).mtime;
        info.mtime = mtime > 0 && mtime <= INT64_C(0xFFFFFFFF) ? static_cast<uint32_t>(mtime) : 0;
    }
    const Bytes result = Transform(options, name, input, info);
    if (test) return;
    if (options.toStdout) {
        WriteStdout(disk, console, result);
        return;
    }
    WriteAside(disk, output, result, name, options.force);
    if (!options.keep) {
        std::error_code ec;
        if (!fs::remove(fs::u8path(name), ec) && ec)
            throw FileFailure{
                name, "written to " + output + ", but cannot remove it: " + formats::ErrorText(ec)};
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
    bool unpack = false, test = false, filesOnly = false;
    const auto letter = [&](char c) {
        switch (c) {
            case 'c':
                options.toStdout = true;
                break;
            case 'd':
                unpack = true;
                break;
            case 'k':
                options.keep = true;
                break;
            case 'f':
                options.force = true;
                break;
            case 't':
                test = true;
                break;
            case 'h':
                options.help = true;
                break;
            case 'V':
                options.version = true;
                break;
            default:
                if (c >= '1' && c <= '9') {
                    options.level = c == '9' ? BestLevel() : c - '0';
                    break;
                }
                throw UsageError(std::string("unknown option -") + c);
        }
    };
    for (const std::string& a : args) {
        if (filesOnly || a == "-" || a.empty() || a[0] != '-') {
            options.files.push_back(a);
        } else if (a == "--") {
            filesOnly = true;
        } else if (a.rfind("--", 0) == 0) {
            if (a == "--fast")
                options.level = 1;
            else if (a == "--best")
                options.level = BestLevel();
            else if (a == "--stdout" || a == "--to-stdout")
                options.toStdout = true;
            else if (a == "--decompress" || a == "--uncompress")
                unpack = true;
            else if (a == "--keep")
                options.keep = true;
            else if (a == "--force")
                options.force = true;
            else if (a == "--test")
                test = true;
            else if (a == "--help")
                options.help = true;
            else if (a == "--version")
                options.version = true;
            else
                throw UsageError("unknown option " + a);
        } else {
            for (size_t i = 1; i < a.size(); ++i) letter(a[i]);
        }
    }
    options.mode = test     ? GzipOptions::Mode::kTest
                   : unpack ? GzipOptions::Mode::kUnpack
                            : GzipOptions::Mode::kPack;
    if (options.files.empty()) options.files.push_back("-");
    return options;
}

int RunGzip(const GzipOptions& options, Disk& disk, Console& console) {
    os::SetBinary(console.in);
    os::SetBinary(console.out);
    int status = 0;
    for (const std::string& name : options.files) {
        try {
            if (name == "-")
                RunOnStreams(options, disk, console);
            else
                RunOnFile(options, name, disk, console);
        } catch (const FileFailure& failure) {
            std::fprintf(console.err, "gzip: %s: %s\n", failure.file.c_str(),
                         failure.cause.c_str());
            status = 1;
        }
    }
    return status;
}

}  // namespace pellix::gzip
