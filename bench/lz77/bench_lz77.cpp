// Measures the LZ77 compressor: output size and time on the default border (as grit
// converts it) and on 1 MiB of mixed data. Usage: bench_lz77 [RUNS [BORDER.bmp]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "formats/bitmap16.h"
#include "formats/format_error.h"
#include "formats/lz77.h"
#include "formats/picture.h"

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

namespace {

// Median wall time of `runs` calls, in milliseconds.
double MedianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A 256 x 192 stand-in border when the real one is missing: gradients and shapes.
pellix::formats::Picture GeneratedBorder() {
    pellix::formats::Picture picture;
    picture.width = 256;
    picture.height = 192;
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) {
            const bool frame = x < 12 || x >= 244 || y < 12 || y >= 180;
            const int dx = x - 128, dy = y - 96;
            const bool disc = dx * dx + dy * dy < 40 * 40;
            picture.pixels.push_back({static_cast<uint8_t>(frame ? 200 : x),
                                      static_cast<uint8_t>(disc ? 255 : y),
                                      static_cast<uint8_t>(frame ? 60 : (x + y) / 2)});
        }
    return picture;
}

// 1 MiB: a third code-like words, a third 16-bit picture rows, a third zeros, interleaved.
Bytes MixedMegabyte(const Bytes& picture16) {
    Bytes out;
    std::mt19937 rng(3);
    size_t pictureAt = 0;
    while (out.size() < (1u << 20)) {
        for (int i = 0; i < 1024; ++i) {  // ARM-like: frequent opcodes, varied registers
            static const uint32_t ops[] = {0xE1A00000, 0xE5900000, 0xE5800000, 0xE2800000,
                                           0xEB000000, 0xE3500000, 0x1A000000, 0xE12FFF1E};
            uint32_t word = ops[rng() % 8u];
            word |= static_cast<uint32_t>((rng() % 16) << 12 | (rng() % 16) << 16 | (rng() % 64));
            for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(word >> (8 * k)));
        }
        for (int i = 0; i < 4096; ++i) out.push_back(picture16[pictureAt++ % picture16.size()]);
        out.insert(out.end(), 4096, 0);
    }
    out.resize(1u << 20);
    return out;
}

void Report(const char* name, const Bytes& input, int runs) {
    Bytes packed;
    const double compress = MedianMs(runs, [&] { packed = pellix::formats::CompressLz77(input); });
    Bytes back;
    const double decompress =
        MedianMs(runs, [&] { back = pellix::formats::DecompressLz77(packed); });
    std::printf("%-28s %8zu -> %8zu bytes (%5.1f%%)  compress %7.2f ms  decompress %6.2f ms%s\n",
                name, input.size(), packed.size(),
                100.0 * static_cast<double>(packed.size()) / static_cast<double>(input.size()),
                compress, decompress, back == input ? "" : "  ROUND TRIP FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const std::string borderPath = argc > 2 ? argv[2] : PELLIX_DEFAULT_BORDER;
    pellix::formats::Picture border;
    std::string borderName = "border (" + borderPath + ")";
    try {
        border = pellix::formats::ReadPictureFile(borderPath);
    } catch (const pellix::formats::FormatError& e) {
        std::printf("%s: %s; using a generated 256 x 192 border\n", borderPath.c_str(), e.what());
        border = GeneratedBorder();
        borderName = "generated border";
    }
    const Bytes border16 = pellix::formats::ToBitmap16(border);
    std::printf("median of %d runs\n", runs);
    Report("default border, 16-bit", border16, runs);
    Report("1 MiB mixed", MixedMegabyte(border16), runs);
    std::printf("(%s)\n", borderName.c_str());
    return 0;
}
