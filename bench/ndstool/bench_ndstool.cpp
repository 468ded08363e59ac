// Times ndstool's package writer on a 31 MiB game file against two plain copies of it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "formats/bitmap_writer.h"
#include "formats/nds_writer.h"
#include "support/scratch.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Median wall time of `runs` calls, in milliseconds. `target` is removed before each call,
// outside the timing: a build always writes its package afresh (the previous x.nds was
// deleted), and on ext4 replacing a file by rename also forces the new one to disk.
double MedianMs(int runs, const fs::path& target, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        fs::remove(target);
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void CopyLoop(const fs::path& from, const fs::path& to) {
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    std::vector<char> buffer(1 << 20);
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
        std::fwrite(buffer.data(), 1, got, out);
    std::fclose(in);
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const pellix::testing::TempDir scratch("pellix-bench-nds");
    const fs::path& dir = scratch.path();
    fs::create_directories(dir / "data");

    // A game file of 31 MiB (mixed: random and repeated runs) plus the small build files.
    std::vector<uint8_t> game(31u << 20);
    std::mt19937 gen(1);
    for (size_t i = 0; i < game.size(); i += 4096) {
        const uint8_t fill = static_cast<uint8_t>(gen());
        for (size_t k = i; k < i + 4096; ++k)
            game[k] = (i / 4096) % 3 ? static_cast<uint8_t>(gen()) : fill;
    }
    pellix::testing::WriteBytes(dir / "data/game.gba", game);
    pellix::testing::WriteBytes(dir / "data/border.lz7", std::vector<uint8_t>(60000, 7));
    pellix::testing::WriteBytes(dir / "data/mode.txt", {'P', 'U'});
    pellix::testing::WriteBytes(dir / "7.bin", std::vector<uint8_t>(0x4000, 1));
    pellix::testing::WriteBytes(dir / "9.bin", std::vector<uint8_t>(0x20000, 2));
    pellix::formats::Picture icon =
        pellix::formats::MakePalettedPicture(32, 32, 4, {{0, 0, 0}, {255, 255, 255}});
    pellix::formats::WriteBitmapFile((dir / "icon.bmp").string(), icon);

    pellix::formats::NdsRequest request;
    request.output = (dir / "x.nds").string();
    request.arm9 = (dir / "9.bin").string();
    request.arm7 = (dir / "7.bin").string();
    request.dataFolder = (dir / "data").string();
    request.info = {"QLMR", "12", "Quillmere", 0};
    request.withBanner = true;
    request.icon = (dir / "icon.bmp").string();
    request.bannerText = "MyGame;Line 2";

    pellix::formats::WriteNds(request);  // warm the page cache
    const auto packageSize = fs::file_size(dir / "x.nds");
    fs::copy_file(dir / "x.nds", dir / "source.nds");  // what the copies copy
    const double write = MedianMs(runs, dir / "x.nds", [&] { pellix::formats::WriteNds(request); });
    const double copyFile = MedianMs(runs, dir / "copy.nds",
                                     [&] { fs::copy_file(dir / "source.nds", dir / "copy.nds"); });
    const double copyLoop =
        MedianMs(runs, dir / "loop.nds", [&] { CopyLoop(dir / "source.nds", dir / "loop.nds"); });

    std::printf("package: %llu bytes, median of %d runs\n",
                static_cast<unsigned long long>(packageSize), runs);
    std::printf("ndstool write:             %8.1f ms\n", write);
    std::printf("std::filesystem::copy_file %8.1f ms  (ratio %.2f)\n", copyFile, write / copyFile);
    std::printf("1 MiB read/write loop      %8.1f ms  (ratio %.2f)\n", copyLoop, write / copyLoop);
    return 0;
}
