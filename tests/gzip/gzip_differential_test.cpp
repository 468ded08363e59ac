// Our gzip beside GNU gzip on generated option sets and inputs: the same exit status, files
// left and output. Live against the system's gzip where there is one, and against its
// results recorded in gnu_gzip_results.txt everywhere (so under wine too).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
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

constexpr int64_t kFileTime = 1700000000;  // every file's, unless a case gives one 0
constexpr uint32_t kStoredTime = 1600000000;

struct Case {
    FileMap files;  // by path relative to the folder ("d/a.gz")
    std::map<std::string, int64_t> times;
    Bytes input;  // standard input
    std::vector<std::string> options, operands;
    std::set<std::string> spares;       // files where an output would go
    bool force = false, packs = false;  // packed output is compared by what it unpacks to
    std::string notCompared;            // why standard output is not compared

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
    const auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    le32(rng.Below(4) == 0 ? 0 : kStoredTime);
    out.insert(out.end(), {0, 3});
    if (!name.empty()) out.insert(out.end(), name.c_str(), name.c_str() + name.size() + 1);
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(data.size() - at, 1 + rng.Below(2000));
        out.insert(out.end(), {static_cast<uint8_t>(at + n == data.size()), static_cast<uint8_t>(n),
                               static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(~n),
                               static_cast<uint8_t>(~n >> 8)});
        out.insert(out.end(), data.begin() + at, data.begin() + at + n);
        at += n;
    } while (at < data.size());
    le32(static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    le32(static_cast<uint32_t>(data.size()));
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

Bytes Content(Kind kind, SplitMix& rng) {
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
    static const char* const kTails[] = {"X", "garbage", "\x1f", "\x1f\x8b"};  // and "\0X"
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
            const uint32_t tail = rng.Below(5);
            return join(member(), tail == 4 ? Bytes{0, 'X'} : ToBytes(kTails[tail]));
        }
        case kCut: {
            const Bytes whole = member();
            return Bytes(whole.begin(),
                         whole.begin() + 1 + rng.Below(static_cast<uint32_t>(whole.size() - 1)));
        }
        default:
            return join(member(), ToBytes("plain text after it\n"));
    }
}

// Lines scripts are known for that a free draw gives too rarely: a case in four takes one,
// its flags added to those drawn, every file (or standard input) of the kind given.
struct Shape {
    const char* flags;
    int fileKind, inputKind;  // -1: drawn
    const char* suffix;       // -S, or nullptr
    bool withoutSuffix;       // names given without their suffix (gzip -dS z F for Fz)
} const kShapes[] = {
    {"cdf", kTextAfter, -1, nullptr, false}, {"l", kGarbage, -1, nullptr, false},
    {"l", kCut, -1, nullptr, false},         {"l", -1, kPacked, nullptr, false},
    {"tfkc", -1, kEmpty, nullptr, false},    {"d", kPacked, -1, "", false},
    {"d", kPacked, -1, "z", true},           {"d", kGarbage, -1, nullptr, false},
    {"c", kPacked, -1, nullptr, false},      {"", kPacked, -1, nullptr, false},
};

Case Generate(uint64_t seed) {
    SplitMix rng(seed * 0x9E3779B97F4A7C15ull + 1);
    const auto chance = [&](uint32_t percent) { return rng.Below(100) < percent; };
    Case c;
    const Shape* shape =
        chance(25) ? &kShapes[rng.Below(sizeof kShapes / sizeof *kShapes)] : nullptr;
    std::string flags;
    for (char flag : std::string("cdfkvqnN"))
        if (chance(25)) flags += flag;
    if (chance(12)) flags += 't';
    if (chance(12)) flags += 'l';
    for (const char* f = shape ? shape->flags : ""; *f; ++f)
        if (flags.find(*f) == std::string::npos) flags += *f;
    std::string suffix = ".gz";
    if (chance(15) || (shape && shape->suffix)) {
        static const char* const kSuffixes[] = {".x", "z", "_z", ".gz", ""};
        suffix = shape && shape->suffix ? shape->suffix : kSuffixes[rng.Below(chance(20) ? 5 : 4)];
        c.options = {"-S", suffix};
    }
    const auto has = [&](const char* any) { return flags.find_first_of(any) != std::string::npos; };
    c.packs = !has("dtl");
    c.force = has("f");
    const bool toStdout = has("ctl"), recursive = chance(10);
    if (recursive) flags += 'r';
    for (size_t i = flags.size(); i > 1; --i)
        std::swap(flags[i - 1], flags[rng.Below(static_cast<uint32_t>(i))]);
    for (size_t i = 0; i < flags.size();) {  // joined (-cdf) or apart
        std::string joined = "-" + flags.substr(i++, 1);
        while (i < flags.size() && chance(50)) joined += flags[i++];
        c.options.push_back(joined);
    }
    if (chance(30))
        c.options.push_back(
            std::vector<const char*>{"-1", "-5", "-9", "--best", "--fast"}[rng.Below(5)]);
    if (chance(30)) c.options.insert(c.options.end(), {"-p", std::to_string(1 + rng.Below(4))});

    // GNU gzip 1.12 removes the output it made for one file when a later one ends the run
    // before its own output is made (ours keeps it): only the first input may do that, and
    // a folder is walked first.
    const auto pick = [&](bool mayEnd) {
        Kind kind =
            static_cast<Kind>(shape && shape->fileKind >= 0 ? shape->fileKind : rng.Below(kKinds));
        if (!mayEnd && !c.packs && (kind == kCut || kind == kGarbage || kind == kEmpty))
            kind = kPacked;
        if (kind == kMembers && !c.packs)
            c.notCompared = "-l counts every member, as gzip 1.13 does";
        return kind;
    };
    const auto addFile = [&](const std::string& stem, const std::string& folder, Kind kind) {
        static const char* const kOther[] = {".gz", ".z", ".tgz", "-gz", ".GZ", ".TGZ"};
        const bool stemOnly = shape && shape->withoutSuffix;
        std::string name = stem;
        if (stemOnly || (kind >= kPacked ? chance(80) : chance(20)))
            name += stemOnly || chance(60) ? suffix : kOther[rng.Below(6)];
        const std::string path = folder + name;
        c.files[path] = Content(kind, rng);
        c.times[path] = chance(5) ? 0 : kFileTime;
        // Sometimes the name the output would take is there already (not in a folder, where
        // the order gzip -r walks in would count).
        const std::string other = name == stem ? path + suffix : folder + stem;
        if (folder.empty() && chance(15) && !c.files.count(other)) {
            c.spares.insert(other);
            c.files[other] = Text(rng);
            c.times[other] = kFileTime;
        }
        // Unpacking, a name may be given without its suffix (gzip -d game for game.gz).
        return !c.packs && name != stem && (stemOnly || chance(10)) ? folder + stem : path;
    };
    if (recursive) {
        // One file in the folder where its order counts: output to one stream, or a file
        // that may end the run.
        const Kind first = pick(true);
        addFile("f", "d/", first);
        if (!toStdout && first != kCut && first != kGarbage) addFile("g", "d/s/", pick(false));
        c.operands.push_back("d");
    }
    for (int i = 0, count = 1 + static_cast<int>(rng.Below(3)); i < count; ++i)
        c.operands.push_back(
            addFile(std::string(1, char('a' + i)), "", pick(i == 0 && !recursive)));
    const bool shapedInput = shape && shape->inputKind >= 0;
    if (chance(20) || shapedInput) {
        const Kind kind = shapedInput  ? static_cast<Kind>(shape->inputKind)
                          : chance(30) ? kEmpty
                                       : static_cast<Kind>(rng.Below(kKinds));
        if (kind == kMembers && !c.packs)
            c.notCompared = "-l counts every member, as gzip 1.13 does";
        c.input = Content(kind, rng);
        // First: GNU gzip 1.12 names a member from standard input "stdin" after packing a
        // file (a leftover of that file); ours stores no name. Alone, named or not.
        c.operands.insert(c.operands.begin(), "-");
        if (chance(30) || shapedInput) c.operands.resize(chance(50) ? 1 : 0);
    }
    if (chance(5)) c.operands.push_back("missing");
    return c;
}

// What zlib unpacks `bytes` to, member by member, with each header's name and time.
std::string Unpacked(const Bytes& bytes) {
    std::ostringstream text;
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
            text << "[not whole: " << bytes.size() << " bytes]";
            break;
        }
        text << "[member '" << name << "' " << header.time << " " << data.size() << ":" << std::hex
             << crc32(0, data.data(), static_cast<uInt>(data.size())) << std::dec << "]";
    }
    inflateEnd(&z);
    return text.str();
}

std::string Shown(const Bytes& bytes, bool packs) {
    if (packs && bytes.size() >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b) return Unpacked(bytes);
    std::ostringstream text;
    text << bytes.size() << ":" << std::hex
         << crc32(0, bytes.data(), static_cast<uInt>(bytes.size()));
    return text.str();
}

// Runs `program` on the case in a fresh folder below `root`; returns what it did, in one line.
std::string RunCase(const Case& c, const std::string& program, bool ours, const fs::path& root) {
    const fs::path folder = root / "files", input = root / "stdin";
    fs::remove_all(root);
    const auto write = [](const fs::path& path, const Bytes& bytes, int64_t time) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        os::SetModificationTime(path.u8string(), time);
    };
    for (const auto& [name, bytes] : c.files)
        write(folder / fs::u8path(name), bytes, c.times.at(name));
    write(input, c.input, kFileTime);
    std::vector<std::string> args;
    for (size_t i = 0; i < c.options.size(); ++i) {
        if (!ours && c.options[i] == "-p")
            ++i;  // ours alone: GNU gzip packs on one thread
        else
            args.push_back(c.options[i]);
    }
    args.insert(args.end(), c.operands.begin(), c.operands.end());
    const auto run =
        pellix::testing::RunProgram(program, args, folder, {{"TZ", "UTC"}}, 60, false, input);
    std::string line =
        "exit " + std::to_string(run.exitCode) + " | out " +
        (c.notCompared.empty() ? Shown(ToBytes(run.rawOut), c.packs) : "(" + c.notCompared + ")");
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
        line += " | " + name + " " + (made ? Shown(bytes, c.packs) : "as it was");
        if (made) line += " @" + std::to_string(os::Inspect(path.u8string()).mtime);
    }
    return line;
}

TEST(GzipDifferential, AnswersAsGnuGzipDoes) {
    // PELLIX_GZIP_SEED and PELLIX_GZIP_CASES run other cases; PELLIX_RECORD_GNU_GZIP=FILE
    // writes the system gzip's results (the target gzip_gnu_results does).
    const auto env = [](const char* name) { return std::getenv(name) ? std::getenv(name) : ""; };
    const uint64_t first = *env("PELLIX_GZIP_SEED") ? std::stoull(env("PELLIX_GZIP_SEED")) : 1;
    const uint64_t count = *env("PELLIX_GZIP_CASES") ? std::stoull(env("PELLIX_GZIP_CASES")) : 300;
    const std::string recordTo = env("PELLIX_RECORD_GNU_GZIP");
    const bool live = *SYSTEM_GZIP != '\0', usual = first == 1 && count == 300;
    ASSERT_TRUE(live || recordTo.empty()) << "recording needs the system's gzip";
    std::map<uint64_t, std::string> recorded;
    std::ifstream in(GNU_RESULTS);
    for (std::string line; std::getline(in, line);)
        recorded[std::stoull(line)] = line.substr(line.find('\t') + 1);
    std::ofstream record;
    if (!recordTo.empty()) record.open(recordTo, std::ios::binary);
    const pellix::testing::TempDir scratch("pellix-gzip-diff");
    int failures = 0, stale = 0;
    for (uint64_t seed = first; seed < first + count; ++seed) {
        const Case c = Generate(seed);
        const std::string ours = RunCase(c, GZIP_PROGRAM, true, scratch.path() / "ours");
        std::string gnu = recorded.count(seed) ? recorded[seed] : "(not recorded)";
        if (live) {
            const std::string now = RunCase(c, SYSTEM_GZIP, false, scratch.path() / "gnu");
            if (record.is_open()) record << seed << '\t' << now << '\n';
            stale += usual && recordTo.empty() && now != gnu;
            gnu = now;
        }
        if (ours != gnu && ++failures <= 10)
            ADD_FAILURE() << "seed " << seed << ": " << c.Command() << "\n  ours: " << ours
                          << "\n  GNU:  " << gnu;
    }
    EXPECT_EQ(failures, 0) << "cases where our gzip answers otherwise than GNU gzip";
    EXPECT_EQ(stale, 0) << "GNU gzip's results differ from " << GNU_RESULTS
                        << ": cmake --build BUILD --target gzip_gnu_results records them anew";
}

TEST(GzipDifferential, VersionIsTheFirstLinesLastField) {
    // As scripts read it: gzip --version | head -1 | awk '{print $NF}'.
    const pellix::testing::TempDir scratch("pellix-gzip-version");
    for (const char* program : {GZIP_PROGRAM, SYSTEM_GZIP}) {
        if (!*program) continue;
        const std::string out =
            pellix::testing::RunProgram(program, {"--version"}, scratch.path()).out;
        const std::string first = out.substr(0, out.find('\n'));
        const std::string last = first.substr(first.rfind(' ') + 1);
        EXPECT_TRUE(first.rfind("gzip ", 0) == 0 &&
                    std::isdigit(static_cast<unsigned char>(last[0])) &&
                    last.find('.') != std::string::npos &&
                    last.find_first_not_of("0123456789.") == std::string::npos)
            << program << ": " << first;
    }
}

}  // namespace
}  // namespace pellix::gzip::testing
