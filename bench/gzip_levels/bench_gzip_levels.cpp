// Packs ROM-like input and real program code at the top deflate levels in pieces of several
// sizes, on 1 and 2 threads, beside one unbroken stream and the system's gzip -9: the
// measurement behind BestLevel() and kPieceSize.
// Usage: bench_gzip_levels [RUNS=1] [MiB=32] [LEVEL...=6..MaxLevel()]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "gzip/deflate_engine.h"
#include "support/rom_like.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Packed {
    size_t size = 0;
    double wall = 0;  // median seconds
};

Packed Pack(int runs, const std::vector<uint8_t>& input, int level, unsigned threads,
            size_t piece) {
    std::vector<double> walls;
    Packed packed;
    for (int i = 0; i < runs; ++i) {
        std::vector<uint8_t> out;
        const auto start = Clock::now();
        pellix::gzip::Deflate(input.data(), input.size(), level, threads, out, piece);
        walls.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        packed.size = out.size();
    }
    std::sort(walls.begin(), walls.end());
    packed.wall = walls[walls.size() / 2];
    return packed;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 32;
    std::vector<int> levels;
    for (int i = 3; i < argc; ++i) levels.push_back(std::atoi(argv[i]));
    if (levels.empty())
        for (int level = 6; level <= pellix::gzip::MaxLevel(); ++level) levels.push_back(level);
    char name[] = "/tmp/pellix-bench-levels-XXXXXX";
    const fs::path dir = mkdtemp(name);

    struct Input {
        const char* name;
        std::vector<uint8_t> bytes;
    } inputs[] = {{"ROM-like", pellix::testing::MakeRomLike(mib << 20)},
                  {"program code", pellix::bench::MakeProgramCode(mib << 20)}};
    std::printf("%s, %zu MiB inputs, median of %d runs; pieces joined into one stream\n",
                pellix::gzip::EngineName().c_str(), mib, runs);
    for (const Input& input : inputs) {
        pellix::bench::WriteFile(dir / "in", input.bytes);
        const pellix::bench::Run gzip = pellix::bench::Median(
            runs, [] {}, [&] {
                return pellix::bench::RunMeasured(SYSTEM_GZIP, {"-9", "-c", "in"}, dir.string(),
                                                  (dir / "in.gz").string());
            });
        const double gzipSize = static_cast<double>(fs::file_size(dir / "in.gz")) - 18 - 3;
        std::printf("\n%s: system gzip -9 %zu bytes of deflate, %.3f s\n", input.name,
                    static_cast<size_t>(gzipSize), gzip.wall);
        std::printf("  level piece     bytes     +%% vs one   x gzip  1 thread  2 threads  2/1\n");
        for (int level : levels) {
            const Packed one = Pack(runs, input.bytes, level, 1, input.bytes.size() + 1);
            std::printf("  %5d   one %10zu               x%.3f %7.3f s\n", level, one.size,
                        double(one.size) / gzipSize, one.wall);
            for (size_t piece : {1, 2, 4, 8}) {
                const Packed p1 = Pack(runs, input.bytes, level, 1, piece << 20);
                const Packed p2 = Pack(runs, input.bytes, level, 2, piece << 20);
                std::printf("  %5d %3zuMiB %9zu  %+8.3f%%    x%.3f %7.3f s %8.3f s  %.2f%s\n",
                            level, piece, p2.size, 100.0 * (double(p2.size) / double(one.size) - 1),
                            double(p2.size) / gzipSize, p1.wall, p2.wall, p2.wall / p1.wall,
                            p1.size == p2.size ? "" : "  SIZE DIFFERS BY THREADS");
            }
        }
    }
    fs::remove_all(dir);
    return 0;
}
