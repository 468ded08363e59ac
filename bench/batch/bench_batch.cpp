// Times pellix-cli on a batch of ROM-like inputs with compression on: one build after
// another (-j 1) against builds side by side (-j at the number of cores).
// Usage: bench_batch [ROMS [MIB [JOBS]]]  (defaults: 20 ROMs of 8 MiB, JOBS = cores)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/installation.h"
#include "support/program.h"
#include "support/rom_like.h"
#include "support/scratch.h"

namespace fs = std::filesystem;
using namespace pellix::testing;

namespace {

// Runs pellix-cli on every ROM into `out` with `jobs` builds at once; seconds taken, or
// -1 when it did not build them all.
double TimeBatch(const fs::path& root, const std::vector<std::string>& roms, int jobs,
                 const std::string& out) {
    std::vector<std::string> args = {"-q", "-j", std::to_string(jobs), "-o", out};
    args.insert(args.end(), roms.begin(), roms.end());
    fs::create_directories(root / out);
    const auto start = std::chrono::steady_clock::now();
    const RunResult run = RunProgram((root / "inst" / "pellix-cli").string(), args, root, {}, 3600);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (run.exitCode != 0) {
        std::fprintf(stderr, "pellix-cli -j %d failed (%d):\n%s%s", jobs, run.exitCode,
                     run.out.c_str(), run.err.c_str());
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    const int mib = argc > 2 ? std::atoi(argv[2]) : 8;
    const unsigned cores = std::thread::hardware_concurrency();
    const int jobs = argc > 3 ? std::atoi(argv[3]) : static_cast<int>(cores ? cores : 1);
    if (count < 1 || mib < 1 || jobs < 1) {
        std::fprintf(stderr, "usage: bench_batch [ROMS [MIB [JOBS]]]\n");
        return 2;
    }

    const TempDir scratch("pellix-bench-batch");
    const fs::path& root = scratch.path();
    MakeInstallation(root / "inst",
                     {PELLIX_CLI_PROGRAM, GRIT_PROGRAM, GBACRUSHER_PROGRAM, NDSTOOL_PROGRAM,
                      EFS_PROGRAM, GZIP_PROGRAM, STANDIN_DIR, GFX_DIR});
    fs::create_directories(root / "roms");
    std::vector<std::string> roms;
    for (int i = 0; i < count; ++i) {
        const std::string name = "roms/rom" + std::to_string(i) + ".gba";
        WriteBytes(root / name,
                   MakeRomLike(static_cast<std::size_t>(mib) << 20, static_cast<std::uint64_t>(i)));
        roms.push_back(name);
    }
    std::printf("%d ROMs of %d MiB, compression on, %u cores\n", count, mib, cores);

    const double serial = TimeBatch(root, roms, 1, "out-serial");
    const double parallel = serial < 0 ? -1 : TimeBatch(root, roms, jobs, "out-parallel");
    if (serial < 0 || parallel < 0) return 1;
    std::printf("one after another (-j 1): %8.2f s\n", serial);
    std::printf("side by side     (-j %d): %8.2f s\n", jobs, parallel);
    std::printf("ratio: %.2f (target: at most 0.60 on 2 cores)\n", parallel / serial);
    return 0;
}
