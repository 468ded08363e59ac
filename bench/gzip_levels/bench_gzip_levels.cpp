// Packs ROM-like inputs at every level of the deflate engine and with the system's gzip -9,
// and prints size and time side by side: the measurement behind BestLevel().
// Usage: bench_gzip_levels [RUNS=3] [MiB...=4 16 32]
#include <sys/resource.h>
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
#include "program.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// CPU seconds used so far by this process and the programs it waited for.
double CpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

struct Timing {
    double wall = 0;  // median wall time, seconds
    double cpu = 0;   // median CPU time, seconds: steadier on a busy machine
};

// Medians of `runs` calls of `work`.
Timing Median(int runs, const std::function<void()>& work) {
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        const double cpu = CpuSeconds();
        const auto start = Clock::now();
        work();
        walls.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        cpus.push_back(CpuSeconds() - cpu);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
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
            .write(reinterpret_cast<const char*>(rom.data()),
                   static_cast<std::streamsize>(rom.size()));
        Timing gzipTime;
        size_t gzipSize = 0;
        if (std::string(SYSTEM_GZIP).empty()) {
            std::printf("\n%zu MiB: no system gzip to compare with\n", mib);
        } else {
            gzipTime = Median(runs, [&] {
                fs::remove(dir / "rom.gz");
                pellix::testing::RunProgram(SYSTEM_GZIP, {"-9", "-k", "rom"}, dir.string());
            });
            gzipSize = fs::file_size(dir / "rom.gz");
            std::printf("\n%zu MiB: system gzip -9  %10zu bytes  %6.3f s wall  %6.3f s CPU\n", mib,
                        gzipSize, gzipTime.wall, gzipTime.cpu);
        }
        for (int level = 1; level <= pellix::gzip::MaxLevel(); ++level) {
            size_t size = 0;
            const Timing time = Median(runs, [&] {
                std::vector<uint8_t> out;
                pellix::gzip::Deflate(rom.data(), rom.size(), level, out);
                size = out.size();
            });
            std::printf("  level %2d%s %10zu bytes  %6.3f s wall  %6.3f s CPU", level,
                        level == pellix::gzip::BestLevel() ? "*" : " ", size, time.wall, time.cpu);
            if (gzipSize)
                std::printf("   size x%.3f  CPU time x%.3f", double(size) / double(gzipSize),
                            time.cpu / gzipTime.cpu);
            std::printf("\n");
        }
    }
    fs::remove_all(dir);
    std::printf("\n* the level --best uses\n");
    return 0;
}
