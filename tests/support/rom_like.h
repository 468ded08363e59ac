// Deterministic ROM-like test data: what a Game Boy Advance ROM is made of, not noise.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellix::testing {

// A small fixed-sequence generator (splitmix64): the same bytes on every system and
// standard library, unlike std::uniform_int_distribution.
class SplitMix {
  public:
    explicit SplitMix(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
    // Below(n), but low values far more often: what a compiler, an artist or a writer
    // reuses follows such a curve (a few idioms, tiles and words make up most of it).
    uint32_t Skewed(uint32_t n) { return std::min({Below(n), Below(n), Below(n)}); }

  private:
    uint64_t state_;
};

// `size` bytes laid out like a cartridge image: a header, then sections of Thumb and ARM
// code with literal pools, 4-bit tile graphics with their maps and palettes, text and
// tables, and sampled sound, each padded to a 256-byte boundary with 0xFF; the last fifth
// of the image is 0xFF padding, as a ROM rounded up to a power of two has.
inline std::vector<uint8_t> MakeRomLike(size_t size, uint64_t seed = 1) {
    std::vector<uint8_t> rom;
    rom.reserve(size);
    SplitMix rng(seed);
    const auto u16 = [&](uint32_t v) {
        rom.push_back(static_cast<uint8_t>(v));
        rom.push_back(static_cast<uint8_t>(v >> 8));
    };
    const auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const size_t content = size - size / 5;

    // Header: an ARM branch, a fixed logo-sized block, title and codes.
    u32(0xEA00002E);
    SplitMix logo(0x4E494E54);
    for (int i = 0; i < 156; ++i) rom.push_back(static_cast<uint8_t>(logo.Next()));
    for (char c : std::string("PELLIXTEST  ATSE01")) rom.push_back(static_cast<uint8_t>(c));
    while (rom.size() < 192) rom.push_back(0);

    // What a compiler reuses: instruction shapes, idioms made of them (a call with its
    // argument set-up, a loop head, a field access), functions and data addresses.
    std::vector<uint16_t> thumb(512);
    for (auto& op : thumb) op = static_cast<uint16_t>(rng.Next());
    std::vector<std::vector<uint16_t>> idioms(400);
    for (auto& idiom : idioms) {
        idiom.resize(2 + rng.Below(10));
        for (auto& op : idiom) op = thumb[rng.Skewed(512)];
    }
    std::vector<uint32_t> functions(3000), addresses(4000);
    for (auto& f : functions) f = rng.Below(0x100000);
    for (auto& a : addresses)
        a = (rng.Below(3)   ? 0x08000000u
             : rng.Below(2) ? 0x03000000u
                            : 0x02000000u) |
            rng.Below(0x400000) << 2;
    static const char* const kWords[] = {
        "the ", "sword ", "of ",    "you ",  "found ",   "a ", "key ",  "Press ", "START",
        "\n",   "!",      "Level ", "Save ", "Continue", "?",  "door ", "is ",    "locked. "};
    std::vector<std::vector<uint8_t>> tiles(512, std::vector<uint8_t>(32));
    for (auto& tile : tiles) {
        const uint32_t a = rng.Below(16), b = rng.Below(16), shape = rng.Below(4);
        for (int p = 0; p < 64; ++p) {
            const int x = p % 8, y = p / 8;
            const bool on = shape == 0   ? x + y < 8
                            : shape == 1 ? (x ^ y) & 2
                            : shape == 2 ? rng.Below(5) == 0
                                         : (x - 4) * (x - 4) + (y - 4) * (y - 4) < 10;
            const uint32_t nibble = on ? a : b;
            tile[p / 2] |= static_cast<uint8_t>(p % 2 ? nibble << 4 : nibble);
        }
    }

    while (rom.size() < content) {
        const size_t section = 2048 + rng.Below(30000);
        const size_t end = std::min(content, rom.size() + section);
        switch (rng.Below(10)) {
            case 0:
            case 1:
            case 2:
            case 3: {  // Thumb functions with literal pools
                while (rom.size() + 8 <= end) {
                    u16(0xB5F0);  // push {r4-r7, lr}
                    for (uint32_t i = 3 + rng.Below(20); i > 0 && rom.size() + 32 <= end; --i) {
                        const uint32_t pick = rng.Below(10);
                        if (pick < 2) {
                            for (uint16_t op : idioms[rng.Skewed(400)]) u16(op);
                        } else if (pick < 6) {
                            // An instruction of a common shape with its own registers and
                            // offset: the bulk of code, matched only in short pieces.
                            for (uint32_t n = 1 + rng.Below(6); n > 0; --n)
                                u16((thumb[rng.Skewed(512)] & 0xF800) | rng.Skewed(32) << 6 |
                                    rng.Skewed(8) << 3 | rng.Skewed(8));
                        } else if (pick < 7) {
                            u16(0x2000 | rng.Skewed(8) << 8 | rng.Skewed(256));  // mov rN, #imm
                        } else if (pick < 7) {
                            u16(0x6800 | rng.Skewed(32) << 6 | rng.Skewed(8) << 3 | rng.Skewed(8));
                        } else {
                            const uint32_t target = functions[rng.Skewed(3000)];  // bl
                            u16(0xF000 | (target >> 11 & 0x7FF));
                            u16(0xF800 | (target & 0x7FF));
                        }
                    }
                    u16(0xBCF0);  // pop {r4-r7}
                    u16(0xBC01);  // pop {r0}
                    u16(0x4700);  // bx r0
                    if (rom.size() % 4) u16(0);
                    for (uint32_t i = rng.Below(5); i > 0 && rom.size() + 4 <= end; --i)
                        u32(addresses[rng.Skewed(4000)]);
                }
                break;
            }
            case 4: {  // ARM code: conditional data processing and loads
                while (rom.size() + 4 <= end)
                    u32(0xE0000000 | rng.Skewed(16) << 21 | rng.Skewed(4) << 16 |
                        rng.Skewed(4) << 12 | rng.Skewed(256));
                break;
            }
            case 5:
            case 6:
            case 7: {  // tiles, then a map of them and a palette
                while (rom.size() + 32 <= end - (end - rom.size()) / 4) {
                    const auto& tile = tiles[rng.Skewed(512)];
                    rom.insert(rom.end(), tile.begin(), tile.end());
                }
                const uint32_t palette = rng.Below(16) << 12;
                while (rom.size() + 2 <= end) u16(palette | rng.Skewed(512));
                break;
            }
            case 8: {  // text and tables of small records
                while (rom.size() + 12 <= end) {
                    if (rng.Below(2)) {
                        for (uint32_t w = 3 + rng.Below(8); w > 0; --w)
                            for (const char* c = kWords[rng.Skewed(18)]; *c; ++c)
                                rom.push_back(static_cast<uint8_t>(*c));
                        rom.push_back(0);
                    } else {
                        u16(rng.Below(100));
                        u16(rng.Below(4) * 25);
                        u32(0x08000000 | rng.Below(0x1000) << 4);
                    }
                }
                break;
            }
            default: {  // 8-bit sound: a few tones with a little noise
                const uint32_t period = 20 + rng.Below(80);
                for (uint32_t t = 0; rom.size() < end; ++t) {
                    const int phase = static_cast<int>(t % period) * 256 / static_cast<int>(period);
                    const int wave = phase < 128 ? phase - 64 : 192 - phase;
                    rom.push_back(static_cast<uint8_t>(wave + static_cast<int>(rng.Below(9))));
                }
                break;
            }
        }
        while (rom.size() < end && rom.size() % 256) rom.push_back(0xFF);
        while (rom.size() < end) rom.push_back(0xFF);
    }
    rom.resize(size, 0xFF);
    return rom;
}

}  // namespace pellix::testing
