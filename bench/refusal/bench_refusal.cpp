// Times how soon pellix-cli refuses a batch of ROM-like inputs whose typed title, or whose
// icon, no package can have: the checks come before any ROM is packed, so the refusal
// takes milliseconds whatever the ROMs' size. One build of the same batch is timed beside
// it for scale.
// Usage: bench_refusal [RUNS [ROMS [MIB]]]  (defaults: 10 runs, 3 ROMs of 16 MiB)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/installation.h"
#include "support/program.h"
#include "support/rom_like.h"
#include "support/scratch.h"

namespace fs = std::filesystem;
using namespace pellix::testing;

namespace {

struct Timing {
    double median = 0, worst = 0;  // milliseconds
    int exitCode = 0;
};

// Runs pellix-cli `runs` times with `options` before the ROMs.
Timing TimeRuns(const fs::path& root, std::vector<std::string> options,
                const std::vector<std::string>& roms, int runs) {
    options.insert(options.end(), roms.begin(), roms.end());
    std::vector<double> times;
    Timing timing;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const RunResult run =
            RunProgram((root / "inst" / "pellix-cli").string(), options, root, {}, 3600);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        timing.exitCode = run.exitCode;
    }
    std::sort(times.begin(), times.end());
    timing.median = times[times.size() / 2];
    timing.worst = times.back();
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    const int count = argc > 2 ? std::atoi(argv[2]) : 3;
    const int mib = argc > 3 ? std::atoi(argv[3]) : 16;
    if (runs < 1 || count < 1 || mib < 1) {
        std::fprintf(stderr, "usage: bench_refusal [RUNS [ROMS [MIB]]]\n");
        return 2;
    }
    const TempDir scratch("pellix-bench-refusal");
    const fs::path& root = scratch.path();
    MakeInstallation(root / "inst",
                     {PELLIX_CLI_PROGRAM, GRIT_PROGRAM, GBACRUSHER_PROGRAM, NDSTOOL_PROGRAM,
                      EFS_PROGRAM, GZIP_PROGRAM, STANDIN_DIR, GFX_DIR});
    for (const char* folder : {"roms", "out"}) fs::create_directories(root / folder);
    WriteBytes(root / "empty.png", {});
    std::vector<std::string> roms;
    for (int i = 0; i < count; ++i) {
        roms.push_back("roms/rom" + std::to_string(i) + ".gba");
        WriteBytes(root / roms.back(),
                   MakeRomLike(static_cast<std::size_t>(mib) << 20, static_cast<std::uint64_t>(i)));
    }
    std::printf("%d ROMs of %d MiB, %d runs each\n", count, mib, runs);
    const struct {
        const char* what;
        std::vector<std::string> options;
        int runs;
    } cases[] = {
        {"a title of 129 letters", {"-o", "out", "--title", std::string(129, 'x')}, runs},
        {"an empty .png as icon", {"-o", "out", "--icon", "empty.png"}, runs},
        {"built, for scale", {"-q", "--force", "-o", "out"}, 1},
    };
    for (const auto& c : cases) {
        const Timing t = TimeRuns(root, c.options, roms, c.runs);
        std::printf("%-24s exit %d  median %9.1f ms  worst %9.1f ms\n", c.what, t.exitCode,
                    t.median, t.worst);
    }
    return 0;
}
