// Packs ROM-like inputs at every level of the deflate engine and with the system's gzip -9,
// and prints size and time side by side: the measurement behind BestLevel().
// Usage: bench_gzip_levels [RUNS=3] [MiB...=4 16 32]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "deflate_engine.h"
#include "rom_like.h"
#include "run_program.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Median wall time of `runs` calls of `work`, in seconds.
double Median(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<size_t> mebibytes;
    for (int i = 2; i < argc; ++i) mebibytes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (mebibytes.empty()) mebibytes = {4, 16, 32};
    char name[] = "/tmp/pellix-bench-levels-XXXXXX";
    const fs::path dir = mkdtemp(name);

    std::printf("%s against %s -9, median of %d runs\n", pellix::gzip::EngineName().c_str(),
                SYSTEM_GZIP, runs);
    for (size_t mib : mebibytes) {
        const std::vector<uint8_t> rom = pellix::testing::MakeRomLike(mib << 20);
        std::ofstream(dir / "rom", std::ios::binary)
            .write(reinterpret_cast<const char*>(rom.data()), static_cast<std::streamsize>(rom.size()));
        double gzipTime = 0;
        size_t gzipSize = 0;
        if (std::string(SYSTEM_GZIP).empty()) {
            std::printf("\n%zu MiB: no system gzip to compare with\n", mib);
        } else {
            gzipTime = Median(runs, [&] {
                fs::remove(dir / "rom.gz");
                pellix::testing::RunProgram(SYSTEM_GZIP, {"-9", "-k", "rom"}, dir.string());
            });
            gzipSize = fs::file_size(dir / "rom.gz");
            std::printf("\n%zu MiB: system gzip -9  %10zu bytes  %6.3f s\n", mib, gzipSize,
                        gzipTime);
        }
        for (int level = 1; level <= pellix::gzip::MaxLevel(); ++level) {
            size_t size = 0;
            const double time = Median(runs, [&] {
                size = pellix::gzip::Deflate(rom.data(), rom.size(), level).size();
            });
            std::printf("  level %2d%s %10zu bytes  %6.3f s", level,
                        level == pellix::gzip::BestLevel() ? "*" : " ", size, time);
            if (gzipSize)
                std::printf("   size x%.3f  time x%.3f", double(size) / double(gzipSize),
                            time / gzipTime);
            std::printf("\n");
        }
    }
    fs::remove_all(dir);
    std::printf("\n* the level --best uses\n");
    return 0;
}
