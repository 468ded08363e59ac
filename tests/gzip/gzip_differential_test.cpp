// Our gzip beside GNU gzip on generated option sets and inputs: the same exit status, the same
// files left and the same output. Live against the system's gzip where there is one, and
// against its results recorded in gnu_gzip_results.txt everywhere (under wine too).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gzip_test_support.h"
#include "support/rom_like.h"
#include "system/files.h"

namespace pellix::gzip::testing {
namespace {

using pellix::testing::SplitMix;

// The time every generated file has, unless a case gives one 0 (the first second of 1970,
// which the format cannot store).
constexpr int64_t kFileTime = 1700000000;
constexpr uint32_t kStoredTime = 1600000000;

// One generated run: files in a folder, standard input, the command line.
struct Case {
    uint64_t seed = 0;
    FileMap files;  // by path relative to the folder ("d/a.gz")
    std::map<std::string, int64_t> times;
    Bytes input;  // standard input
    std::vector<std::string> options, operands;
    std::set<std::string> spares;  // files where an output would go
    bool force = false;
    bool packs = false;       // the output is packed: compared by what it unpacks to
    std::string notCompared;  // why standard output is not compared, when it is not

    std::string Command() const {
        std::string line = "gzip";
        for (const auto& a : options) line += " '" + a + "'";
        for (const auto& a : operands) line += " '" + a + "'";
        return line + " < stdin";
    }
};

// A gzip member in stored blocks: the same bytes wherever the test runs, whatever zlib.
Bytes Member(const Bytes& data, const std::string& name, SplitMix& rng) {
    Bytes out = {0x1f, 0x8b, 8, static_cast<uint8_t>(name.empty() ? 0 : 8)};
    const uint32_t time = rng.Below(4) == 0 ? 0 : kStoredTime;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(time >> (8 * i)));
    out.insert(out.end(), {0, 3});
    if (!name.empty()) {
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
    }
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(data.size() - at, 1 + rng.Below(2000));
        out.push_back(at + n == data.size() ? 1 : 0);
        out.insert(out.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                               static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)});
        out.insert(out.end(), data.begin() + at, data.begin() + at + n);
        at += n;
    } while (at < data.size());
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
    for (uint32_t v : {crc, static_cast<uint32_t>(data.size())})
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

Bytes Text(SplitMix& rng) {
    static const char* const kWords[] = {"gzip", "rom", "tile", "the", "of", "palette", "\n"};
    std::string text;
    for (uint32_t n = 1 + rng.Below(300); n > 0; --n)
        text += std::string(kWords[rng.Below(7)]) + " ";
    return ToBytes(text);
}

enum Kind { kEmpty, kText, kRandom, kPacked, kMembers, kZeros, kGarbage, kCut, kTextAfter, kKinds };

// Content of `kind`; `members` is set when it holds more than one member.
Bytes Content(Kind kind, SplitMix& rng, bool& members) {
    const auto data = [&] {
        if (rng.Below(3) > 0) return Text(rng);
        Bytes bytes(1 + rng.Below(3000));
        for (auto& b : bytes) b = static_cast<uint8_t>(rng.Next());
        return bytes;
    };
    const auto member = [&] { return Member(data(), rng.Below(2) ? "orig" : "", rng); };
    const auto join = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    members = kind == kMembers;
    switch (kind) {
        case kEmpty:
            return {};
        case kText:
            return Text(rng);
        case kRandom:
            return data();
        case kPacked:
            return member();
        case kMembers:
            return join(member(), member());
        case kZeros:
            return join(member(), Bytes(1 + rng.Below(20), 0));
        case kGarbage: {
            static const char* const kTails[] = {"X", "garbage", "\x1f", "\x1f\x8b"};
            const std::string tail = kTails[rng.Below(4)];
            Bytes bytes = join(member(), ToBytes(tail));
            if (rng.Below(3) == 0) bytes.insert(bytes.end() - tail.size(), 0);  // "\0X"
            return bytes;
        }
        case kCut: {
            const Bytes whole = member();
            return Bytes(whole.begin(),
                         whole.begin() + 1 + rng.Below(static_cast<uint32_t>(whole.size() - 1)));
        }
        case kTextAfter:
            return join(member(), ToBytes("plain text after it\n"));
        default:
            return {};
    }
}

// Lines scripts are known for that a free draw gives too rarely: a case in four takes one,
// its flags added to those drawn, every file (or standard input) of the kind given.
struct Shape {
    const char* flags;
    int fileKind, inputKind;  // -1: drawn as usual
    const char* suffix;       // -S, or nullptr
    bool withoutSuffix;       // names given without their suffix (gzip -dS z F for Fz)
};
const Shape kShapes[] = {
    {"cdf", kTextAfter, -1, nullptr, false},  // zcat -f
    {"l", kGarbage, -1, nullptr, false},     {"l", kCut, -1, nullptr, false},
    {"l", -1, kPacked, nullptr, false},  // gzip -l < x.gz
    {"tfkc", -1, kEmpty, nullptr, false},    {"d", kPacked, -1, "", false},
    {"d", kPacked, -1, "z", true},           {"d", kGarbage, -1, nullptr, false},
    {"c", kPacked, -1, nullptr, false},      {"", kPacked, -1, nullptr, false},
};

Case Generate(uint64_t seed) {
    SplitMix rng(seed * 0x9E3779B97F4A7C15ull + 1);
    Case c;
    c.seed = seed;
    const auto chance = [&](uint32_t percent) { return rng.Below(100) < percent; };
    const Shape* shape =
        chance(25) ? &kShapes[rng.Below(sizeof kShapes / sizeof kShapes[0])] : nullptr;
    // Options first: the names of the files depend on the suffix and the mode.
    std::vector<std::string> flags;
    for (const char* flag : {"c", "d", "f", "k", "v", "q", "n", "N"})
        if (chance(25)) flags.push_back(flag);
    if (chance(12)) flags.push_back("t");
    if (chance(12)) flags.push_back("l");
    for (const char* f = shape ? shape->flags : ""; *f; ++f)
        if (std::find(flags.begin(), flags.end(), std::string(1, *f)) == flags.end())
            flags.push_back(std::string(1, *f));
    std::string suffix = ".gz";
    if (chance(15) || (shape && shape->suffix)) {
        static const char* const kSuffixes[] = {".x", "z", "_z", ".gz", ""};
        suffix = shape && shape->suffix ? shape->suffix : kSuffixes[rng.Below(chance(20) ? 5 : 4)];
        c.options.insert(c.options.end(), {"-S", suffix});
    }
    const bool unpacks = std::count_if(flags.begin(), flags.end(), [](const std::string& f) {
                             return f == "d" || f == "t" || f == "l";
                         }) > 0;
    const bool toStdout = std::find(flags.begin(), flags.end(), "c") != flags.end() ||
                          std::find(flags.begin(), flags.end(), "t") != flags.end() ||
                          std::find(flags.begin(), flags.end(), "l") != flags.end();
    c.packs = !unpacks;
    c.force = std::find(flags.begin(), flags.end(), "f") != flags.end();
    const bool recursive = chance(10);
    if (recursive) flags.push_back("r");
    for (size_t i = flags.size(); i > 1; --i)
        std::swap(flags[i - 1], flags[rng.Below(static_cast<uint32_t>(i))]);
    // Joined (-cdf) or apart.
    for (size_t i = 0; i < flags.size();) {
        std::string joined = "-" + flags[i++];
        while (i < flags.size() && chance(50)) joined += flags[i++];
        c.options.push_back(joined);
    }
    if (chance(30)) {
        static const char* const kLevels[] = {"-1", "-5", "-9", "--best", "--fast"};
        c.options.push_back(kLevels[rng.Below(5)]);
    }
    if (chance(30)) c.options.insert(c.options.end(), {"-p", std::to_string(1 + rng.Below(4))});

    bool damaged = false;  // a stream that ends the run: the order of a folder's files counts
    const auto addFile = [&](const std::string& stem, const std::string& folder,
                             bool whole = false) {
        Kind kind = static_cast<Kind>(rng.Below(kKinds));
        if (shape && shape->fileKind >= 0) kind = static_cast<Kind>(shape->fileKind);
        if (whole && (kind == kCut || kind == kGarbage)) kind = kPacked;
        bool members = false;
        const Bytes bytes = Content(kind, rng, members);
        const bool packed = kind >= kPacked;
        damaged = damaged || kind == kCut || kind == kGarbage;
        if (members && !c.packs) c.notCompared = "-l counts every member, as gzip 1.13 does";
        static const char* const kOther[] = {".gz", ".z", ".tgz", "-gz"};
        std::string name = stem;
        const bool stemOnly = shape && shape->withoutSuffix;
        if (stemOnly || (packed ? chance(80) : chance(20)))
            name += stemOnly || chance(60) ? suffix : kOther[rng.Below(4)];
        const std::string path = folder.empty() ? name : folder + "/" + name;
        c.files[path] = bytes;
        c.times[path] = chance(5) ? 0 : kFileTime;
        // Sometimes the name the output would take is there already (not in the folder,
        // whose order gzip -r walks in would then count).
        if (folder.empty() && chance(15)) {
            const std::string other =
                name == stem ? path + suffix : (folder.empty() ? stem : folder + "/" + stem);
            if (!c.files.count(other)) {
                c.spares.insert(other);
                c.files[other] = Text(rng);
                c.times[other] = kFileTime;
            }
        }
        // Unpacking, a name may be given without its suffix (gzip -d game for game.gz).
        if (!c.packs && name != stem && (stemOnly || chance(10)))
            return folder.empty() ? stem : folder + "/" + stem;
        return path;
    };
    const int count = 1 + static_cast<int>(rng.Below(3));
    for (int i = 0; i < count; ++i)
        c.operands.push_back(addFile(std::string(1, char('a' + i)), ""));
    if (recursive) {
        damaged = false;
        addFile("f", "d");
        // The order gzip walks a folder in counts where the output is one stream or a
        // damaged file ends the run: then the folder holds one file.
        if (!toStdout && !damaged) addFile("g", "d/s", true);
        c.operands.insert(
            c.operands.begin() + rng.Below(static_cast<uint32_t>(c.operands.size() + 1)), "d");
    }
    const bool shapedInput = shape && shape->inputKind >= 0;
    if (chance(20) || shapedInput) {
        bool members = false;
        const Kind kind = shapedInput  ? static_cast<Kind>(shape->inputKind)
                          : chance(30) ? kEmpty
                                       : static_cast<Kind>(rng.Below(kKinds));
        c.input = Content(kind, rng, members);
        if (members && !c.packs) c.notCompared = "-l counts every member, as gzip 1.13 does";
        // First: after a file, GNU gzip 1.12 names a member from standard input "stdin"
        // (left over from that file) and, when it proves damaged, removes the file it made
        // before; ours does neither.
        c.operands.insert(c.operands.begin(), "-");
        // Standard input alone, named or not.
        if (chance(30) || shapedInput) c.operands.resize(chance(50) ? 1 : 0);
    }
    if (chance(5)) c.operands.push_back("missing");
    return c;
}

// What zlib unpacks `bytes` to, member by member, with each header's name and time.
std::string Unpacked(const Bytes& bytes) {
    std::string text;
    z_stream z{};
    inflateInit2(&z, 16 + 15);
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    while (z.avail_in > 0) {
        char name[256] = {};
        gz_header header{};
        header.name = reinterpret_cast<Bytef*>(name);
        header.name_max = sizeof name - 1;
        inflateReset(&z);
        inflateGetHeader(&z, &header);
        Bytes data;
        int status = Z_OK;
        while (status == Z_OK) {
            uint8_t chunk[1 << 14];
            z.next_out = chunk;
            z.avail_out = sizeof chunk;
            status = inflate(&z, Z_NO_FLUSH);
            data.insert(data.end(), chunk, chunk + (sizeof chunk - z.avail_out));
        }
        if (status != Z_STREAM_END) {
            text += "[not whole: " + std::to_string(bytes.size()) + " bytes]";
            break;
        }
        std::ostringstream member;
        member << "[member '" << name << "' " << header.time << " " << data.size() << ":"
               << std::hex << crc32(0, data.data(), static_cast<uInt>(data.size())) << "]";
        text += member.str();
    }
    inflateEnd(&z);
    return text;
}

// Bytes as the comparison shows them: short text as it is, the rest by size and CRC-32.
std::string Shown(const Bytes& bytes) {
    const bool text = bytes.size() <= 400 && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) {
                          return (b >= 32 && b < 127) || b == '\n';
                      });
    std::ostringstream out;
    if (text) {
        out << '"';
        for (uint8_t b : bytes) out << (b == '\n' ? std::string("\\n") : std::string(1, char(b)));
        out << '"';
    } else {
        out << bytes.size() << ":" << std::hex
            << crc32(0, bytes.data(), static_cast<uInt>(bytes.size()));
    }
    return out.str();
}

bool Packed(const Bytes& bytes) {
    return bytes.size() >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b;
}

// Runs `program` on the case in a fresh folder below `root`; returns what it did, in one line.
std::string RunCase(const Case& c, const std::string& program, bool ours, const fs::path& root) {
    const fs::path folder = root / "files", input = root / "stdin";
    fs::remove_all(root);
    fs::create_directories(folder);
    for (const auto& [name, bytes] : c.files) {
        const fs::path path = folder / fs::u8path(name);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    for (const auto& [name, time] : c.times)
        os::SetModificationTime((folder / fs::u8path(name)).u8string(), time);
    std::ofstream(input, std::ios::binary)
        .write(reinterpret_cast<const char*>(c.input.data()),
               static_cast<std::streamsize>(c.input.size()));
    os::SetModificationTime(input.u8string(), kFileTime);
    std::vector<std::string> args;
    for (size_t i = 0; i < c.options.size(); ++i) {
        // -p is ours alone: GNU gzip packs on one thread.
        if (!ours && c.options[i] == "-p") {
            ++i;
            continue;
        }
        args.push_back(c.options[i]);
    }
    args.insert(args.end(), c.operands.begin(), c.operands.end());
    const auto run =
        pellix::testing::RunProgram(program, args, folder, {{"TZ", "UTC"}}, 60, false, input);
    std::ostringstream line;
    line << "exit " << run.exitCode << " | out ";
    const Bytes out = ToBytes(run.rawOut);
    if (!c.notCompared.empty())
        line << "(" << c.notCompared << ")";
    else
        line << (c.packs && Packed(out) ? Unpacked(out) : Shown(out));
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory())
            names.push_back(fs::relative(entry.path(), folder).generic_u8string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const fs::path path = folder / fs::u8path(name);
        std::ifstream in(path, std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto was = c.files.find(name);
        const bool made = was == c.files.end() || was->second != bytes;
        // We differ on purpose: -f replaces a file only with a complete output, where GNU
        // gzip removes it first and loses it when the input proves damaged.
        if (c.force && !made && c.spares.count(name)) continue;
        line << " | " << name << " "
             << (made && c.packs && Packed(bytes) ? Unpacked(bytes) : Shown(bytes));
        if (made) line << " @" << os::Inspect(path.u8string()).mtime;
    }
    return line.str();
}

// We differ on purpose: when an input proves damaged before its output is made, GNU gzip
// removes the output it made last, for the file before; ours keeps that complete file.
// True when `ours` is `gnu` with one more file made, both failed.
bool KeepsOneMore(const std::string& ours, const std::string& gnu) {
    const auto parts = [](const std::string& line) {
        std::vector<std::string> all;
        for (size_t at = 0; at != std::string::npos;) {
            const size_t bar = line.find(" | ", at);
            all.push_back(line.substr(at, bar == std::string::npos ? bar : bar - at));
            at = bar == std::string::npos ? bar : bar + 3;
        }
        return all;
    };
    std::vector<std::string> a = parts(ours), b = parts(gnu);
    if (a.size() != b.size() + 1 || a[0] != "exit 1" || b[0] != "exit 1") return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (i == b.size() || a[i] != b[i])
            return a[i].find(" @") != std::string::npos &&
                   std::equal(a.begin() + static_cast<std::ptrdiff_t>(i) + 1, a.end(),
                              b.begin() + static_cast<std::ptrdiff_t>(i));
    return false;
}

std::string Environment(const char* name, const std::string& otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? value : otherwise;
}

// The recorded results of GNU gzip: "seed<TAB>result" a line.
std::map<uint64_t, std::string> Recorded() {
    std::map<uint64_t, std::string> results;
    std::ifstream in(GNU_RESULTS);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            results[std::stoull(line.substr(0, tab))] = line.substr(tab + 1);
    }
    return results;
}

TEST(GzipDifferential, AnswersAsGnuGzipDoes) {
    // PELLIX_GZIP_SEED and PELLIX_GZIP_CASES run other cases; PELLIX_RECORD_GNU_GZIP=FILE
    // writes the system gzip's results (the target gzip_gnu_results does).
    const uint64_t first = std::stoull(Environment("PELLIX_GZIP_SEED", "1"));
    const uint64_t count = std::stoull(Environment("PELLIX_GZIP_CASES", "300"));
    const bool usual = first == 1 && count == 300;
    const std::string recordTo = Environment("PELLIX_RECORD_GNU_GZIP", "");
    const bool live = *SYSTEM_GZIP != '\0';
    ASSERT_TRUE(live || recordTo.empty()) << "recording needs the system's gzip";
    const std::map<uint64_t, std::string> recorded = Recorded();
    std::ofstream record;
    if (!recordTo.empty()) record.open(recordTo, std::ios::binary);
    const pellix::testing::TempDir scratch("pellix-gzip-diff");
    int failures = 0, stale = 0;
    for (uint64_t seed = first; seed < first + count; ++seed) {
        const Case c = Generate(seed);
        const std::string ours = RunCase(c, GZIP_PROGRAM, true, scratch.path() / "ours");
        std::string gnu;
        if (live) {
            gnu = RunCase(c, SYSTEM_GZIP, false, scratch.path() / "gnu");
            if (record.is_open()) record << seed << '\t' << gnu << '\n';
            const auto was = recorded.find(seed);
            if (usual && recordTo.empty() && (was == recorded.end() || was->second != gnu)) ++stale;
        } else {
            const auto was = recorded.find(seed);
            ASSERT_NE(was, recorded.end()) << "no recorded result for seed " << seed;
            gnu = was->second;
        }
        if (ours != gnu && !KeepsOneMore(ours, gnu) && ++failures <= 10)
            ADD_FAILURE() << "seed " << seed << ": " << c.Command() << "\n  ours: " << ours
                          << "\n  GNU:  " << gnu;
    }
    EXPECT_EQ(failures, 0) << "cases where our gzip answers otherwise than GNU gzip";
    EXPECT_EQ(stale, 0) << "GNU gzip's results differ from " << GNU_RESULTS
                        << ": cmake --build BUILD --target gzip_gnu_results records them anew";
}

TEST(GzipDifferential, VersionIsTheFirstLinesLastField) {
    // Scripts read it so (gzip --version | head -1 | awk '{print $NF}').
    std::vector<std::string> programs = {GZIP_PROGRAM};
    if (*SYSTEM_GZIP) programs.push_back(SYSTEM_GZIP);
    const pellix::testing::TempDir scratch("pellix-gzip-version");
    for (const std::string& program : programs) {
        const auto run = pellix::testing::RunProgram(program, {"--version"}, scratch.path());
        const std::string first = run.out.substr(0, run.out.find('\n'));
        const std::string last = first.substr(first.rfind(' ') + 1);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(first.rfind("gzip ", 0), 0u) << first;
        EXPECT_TRUE(!last.empty() && std::isdigit(static_cast<unsigned char>(last[0])) &&
                    last.find('.') != std::string::npos &&
                    last.find_first_not_of("0123456789.") == std::string::npos)
            << program << ": " << first;
    }
}

}  // namespace
}  // namespace pellix::gzip::testing
