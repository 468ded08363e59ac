// gzip members: round trips that zlib reads back as one member, header fields, and every
// way a damaged file is refused with its reason.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "gzip/deflate_engine.h"
#include "formats/format_error.h"
#include "gzip/gzip_member.h"
#include "gzip_test_support.h"
#include "support/rom_like.h"

namespace pellix::gzip::testing {
namespace {

struct Input {
    const char* name;
    Bytes bytes;
};

std::vector<Input> Inputs() {
    pellix::testing::SplitMix rng(7);
    Bytes noise(256 * 1024);
    for (auto& b : noise) b = static_cast<uint8_t>(rng.Next());
    return {{"empty", {}},
            {"one byte", {0x42}},
            {"ROM-like 1 MiB", pellix::testing::MakeRomLike(1 << 20)},
            {"incompressible 256 KiB", noise},
            {"zeros 2 MiB", Bytes(2 << 20, 0)}};
}

Bytes Unpack(const Bytes& file, size_t maxSize = size_t{1} << 30) {
    return UnpackMembers(file.data(), file.size(), maxSize);
}

TEST(PackMember, EveryLevelIsOneMemberThatZlibAndUnpackReadBack) {
    for (const Input& input : Inputs()) {
        for (int level : {1, 6, BestLevel(), MaxLevel()}) {
            SCOPED_TRACE(std::string(input.name) + ", level " + std::to_string(level));
            const Bytes packed =
                PackMember(input.bytes.data(), input.bytes.size(), level, {"game", 1234567890});
            const ZlibView zlib = InflateWithZlib(packed);
            EXPECT_TRUE(zlib.ok) << zlib.error;
            EXPECT_EQ(zlib.leftOver, 0u);
            EXPECT_TRUE(zlib.data == input.bytes);
            EXPECT_TRUE(Unpack(packed) == input.bytes);
        }
    }
}

TEST(PackMember, HeaderRecordsNameTimeAndEffort) {
    const Bytes data = ToBytes("header test");
    struct Case {
        MemberInfo info;
        int level;
        uint8_t flags, extraFlags;
        std::string storedName;
    } cases[] = {
        {{"game", 0x01020304}, BestLevel(), 0x08, 2, "game"},
        {{"Café.gba", 0}, 1, 0x08, 4, "Café.gba"},
        {{"", 0}, 6, 0x00, 0, ""},
        // A name holding a 0 byte cannot be stored in a zero-terminated field.
        {{std::string("a\0b", 3), 0}, 6, 0x00, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.storedName);
        const Bytes packed = PackMember(data.data(), data.size(), c.level, c.info);
        ASSERT_GT(packed.size(), 18u);
        EXPECT_EQ(packed[0], 0x1F);
        EXPECT_EQ(packed[1], 0x8B);
        EXPECT_EQ(packed[2], 8);
        EXPECT_EQ(packed[3], c.flags);
        EXPECT_EQ(packed[4] | packed[5] << 8 | packed[6] << 16 | uint32_t(packed[7]) << 24,
                  c.info.mtime);
        EXPECT_EQ(packed[8], c.extraFlags);
        if (!c.storedName.empty()) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&packed[10])), c.storedName);
        }
        EXPECT_TRUE(Unpack(packed) == data);
    }
}

// A member with every optional header field, as zlib writes it.
Bytes ZlibMemberWithAllFields(const Bytes& data) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    static Bytef extra[] = {'P', 'X', 2, 0, 1, 2};
    static Bytef name[] = "named";
    static Bytef comment[] = "a comment";
    gz_header header{};
    header.extra = extra;
    header.extra_len = sizeof extra;
    header.name = name;
    header.comment = comment;
    header.hcrc = 1;
    deflateSetHeader(&z, &header);
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 64);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(UnpackMembers, ReadsWhatOtherPackersMayWrite) {
    const Bytes a = ToBytes("first member, first member, first member");
    const Bytes b = pellix::testing::MakeRomLike(300000, 9);
    const Bytes ga = PackMember(a.data(), a.size(), 6, {"a", 0});
    const Bytes gb = PackMember(b.data(), b.size(), 1, {});
    struct Case {
        const char* name;
        Bytes file;
        Bytes expected;
    } cases[] = {
        {"two members", Join(ga, gb), Join(a, b)},
        {"an empty member between", Join(Join(ga, PackMember(nullptr, 0, 6, {})), gb), Join(a, b)},
        {"zero padding after the last member", Join(ga, Bytes(512, 0)), a},
        {"extra field, name, comment and header CRC", ZlibMemberWithAllFields(b), b},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Unpack(c.file) == c.expected);
    }
}

TEST(UnpackMembers, RefusesDamagedFilesWithTheReason) {
    const Bytes data = pellix::testing::MakeRomLike(100000, 3);
    const Bytes good = PackMember(data.data(), data.size(), 6, {"game", 0});
    const auto changed = [&](size_t at, uint8_t value) {
        Bytes file = good;
        file[at] = value;
        return file;
    };
    const auto cut = [&](size_t keep) { return Bytes(good.begin(), good.begin() + keep); };
    Bytes badHeaderCrc = ZlibMemberWithAllFields(data);
    const size_t hcrcAt = 10 + 2 + 6 + 6 + 10;  // fixed part, extra, name, comment
    badHeaderCrc[hcrcAt] ^= 1;
    struct Case {
        const char* name;
        Bytes file;
        std::string reason;
        size_t maxSize = size_t{1} << 30;
    } cases[] = {
        {"empty file", {}, "not in gzip format: the file is empty"},
        {"text", ToBytes("plain text, not packed"), "not in gzip format"},
        {"header cut short", cut(7), "corrupt: the header is cut short"},
        {"name cut short", cut(12), "corrupt: the header is cut short"},
        {"stream cut short", cut(good.size() / 2),
         "corrupt: the packed data is damaged or cut short"},
        {"trailer cut short", cut(good.size() - 3),
         "corrupt: the file is cut short (no CRC and length at its end)"},
        {"CRC changed", changed(good.size() - 8, good[good.size() - 8] ^ 0x01),
         "corrupt: CRC mismatch"},
        {"length changed", changed(good.size() - 4, good[good.size() - 4] ^ 0x01),
         "corrupt: length mismatch"},
        {"stream damaged", changed(40, good[40] ^ 0xFF), ""},
        {"method 7", changed(2, 7), "unknown method 7, not deflate"},
        {"reserved flag", changed(3, 0x28),
         "unknown flags in the header (40): made by a newer gzip?"},
        {"header CRC changed", badHeaderCrc, "corrupt: header CRC mismatch"},
        {"garbage after the member", Join(good, ToBytes("junk")),
         "corrupt: 4 bytes of unknown data after the packed data"},
        {"second member damaged", Join(good, changed(good.size() - 4, 0xEE)),
         "corrupt: length mismatch"},
        {"more than allowed", good, "too large: unpacks to more than 99999 bytes", 99999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            Unpack(c.file, c.maxSize);
            ADD_FAILURE() << "accepted";
        } catch (const formats::FormatError& e) {
            // A damaged stream may show as a bad code, a cut-short stream or a wrong CRC.
            if (c.reason.empty())
                EXPECT_EQ(std::string(e.what()).rfind("corrupt: ", 0), 0u) << e.what();
            else
                EXPECT_EQ(e.what(), c.reason);
        }
    }
}

// zlib's raw inflate of a whole deflate stream; `leftOver` counts bytes after its end.
Bytes InflateRaw(const Bytes& stream, size_t& leftOver, bool& ended) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    Bytes out;
    uint8_t chunk[1 << 16];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
    }
    ended = status == Z_STREAM_END;
    leftOver = z.avail_in;
    inflateEnd(&z);
    return out;
}

TEST(Deflate, PiecesJoinIntoOneStreamWhateverTheNumberOfThreads) {
    pellix::testing::SplitMix rng(3);
    Bytes noise(200000);
    for (auto& b : noise) b = static_cast<uint8_t>(rng.Next());
    const Bytes rom = pellix::testing::MakeRomLike(600000, 4);
    struct Case {
        const char* name;
        Bytes bytes;
        size_t piece;
    } cases[] = {
        {"empty", {}, 4096},
        {"one byte", {0x42}, 4096},
        {"exactly one piece", Bytes(rom.begin(), rom.begin() + 4096), 4096},
        {"one piece and a byte", Bytes(rom.begin(), rom.begin() + 4097), 4096},
        // Many joins, so that the pieces end at every bit of their last byte.
        {"two hundred odd pieces", rom, 3001},
        {"incompressible", noise, 32768},
    };
    for (const Case& c : cases) {
        for (int level : {1, 6, BestLevel(), MaxLevel()}) {
            SCOPED_TRACE(std::string(c.name) + ", level " + std::to_string(level));
            Bytes one;
            Deflate(c.bytes.data(), c.bytes.size(), level, 1, one, c.piece);
            size_t leftOver = 0;
            bool ended = false;
            EXPECT_TRUE(InflateRaw(one, leftOver, ended) == c.bytes);
            EXPECT_TRUE(ended);
            EXPECT_EQ(leftOver, 0u);
            for (unsigned threads : {2u, 7u}) {
                Bytes many = {0xAB};  // appended to what is there
                Deflate(c.bytes.data(), c.bytes.size(), level, threads, many, c.piece);
                EXPECT_TRUE(Bytes(many.begin() + 1, many.end()) == one) << threads << " threads";
            }
        }
    }
}

#ifndef _WIN32
// What Deflate did in a child process whose address space allows `spare` more bytes.
enum class Outcome { kRightBytes, kWrongBytes, kNoMemory, kNoThread, kCrashed };

Outcome DeflateWithSpareMemory(const Bytes& data, const Bytes& expected, size_t spare) {
    const pid_t pid = fork();
    if (pid == 0) {
        size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = pages * sysconf(_SC_PAGESIZE) + spare;
        const rlimit as{limit, limit};
        setrlimit(RLIMIT_AS, &as);
        try {
            Bytes out;
            Deflate(data.data(), data.size(), 6, 7, out, 16384);
            _exit(out == expected ? 0 : 1);
        } catch (const std::bad_alloc&) {
            _exit(2);
        } catch (const std::system_error&) {
            _exit(3);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 3) return Outcome::kCrashed;
    return static_cast<Outcome>(WEXITSTATUS(status));
}

TEST(Deflate, ThreadsThatCannotStartOrRunOutOfMemoryGiveAnErrorNeverWrongBytes) {
    const Bytes data = pellix::testing::MakeRomLike(1 << 20, 8);
    Bytes expected;
    Deflate(data.data(), data.size(), 6, 1, expected, 16384);
    // From too little for one thread's stack to enough for all: every outcome but wrong
    // bytes or a crash is fine, and both ends are seen.
    std::set<Outcome> seen;
    for (size_t mib : {0, 1, 4, 8, 16, 32, 64, 128, 512}) {
        SCOPED_TRACE(std::to_string(mib) + " MiB to spare");
        const Outcome outcome = DeflateWithSpareMemory(data, expected, mib << 20);
        EXPECT_NE(outcome, Outcome::kWrongBytes);
        EXPECT_NE(outcome, Outcome::kCrashed);
        seen.insert(outcome);
    }
    EXPECT_TRUE(seen.count(Outcome::kRightBytes));
    EXPECT_TRUE(seen.count(Outcome::kNoMemory) || seen.count(Outcome::kNoThread));
}
#endif

}  // namespace
}  // namespace pellix::gzip::testing
