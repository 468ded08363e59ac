// Times pellix-cli on a collection: ROM-like inputs in nested folders, each with an icon
// of its own found by name, built whole with -r into a mirrored tree, then again with
// --update when nothing changed (the target: well under a second per hundred ROMs).
// Usage: bench_collection [ROMS [MIB [JOBS]]]  (defaults: 500 ROMs of 4 MiB, JOBS = cores)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "formats/bitmap_writer.h"
#include "support/installation.h"
#include "support/program.h"
#include "support/rom_like.h"
#include "support/scratch.h"

namespace fs = std::filesystem;
using namespace pellix::testing;

namespace {

// Runs pellix-cli with `args`; seconds taken, or -1 when it did not succeed.
double Time(const fs::path& root, const std::vector<std::string>& args, const char* what) {
    const auto start = std::chrono::steady_clock::now();
    const RunResult run =
        RunProgram((root / "inst" / "pellix-cli").string(), args, root, {}, 4 * 3600);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (run.exitCode != 0) {
        std::fprintf(stderr, "%s failed (%d):\n%s%s", what, run.exitCode, run.out.c_str(),
                     run.err.c_str());
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 500;
    const int mib = argc > 2 ? std::atoi(argv[2]) : 4;
    const unsigned cores = std::thread::hardware_concurrency();
    const int jobs = argc > 3 ? std::atoi(argv[3]) : static_cast<int>(cores ? cores : 1);
    if (count < 1 || mib < 1 || jobs < 1) {
        std::fprintf(stderr, "usage: bench_collection [ROMS [MIB [JOBS]]]\n");
        return 2;
    }

    const TempDir scratch("pellix-bench-collection");
    const fs::path& root = scratch.path();
    MakeInstallation(root / "inst",
                     {PELLIX_CLI_PROGRAM, GRIT_PROGRAM, GBACRUSHER_PROGRAM, NDSTOOL_PROGRAM,
                      EFS_PROGRAM, GZIP_PROGRAM, STANDIN_DIR, GFX_DIR});
    // Ten series of ten, each series a folder with a folder of sequels below it.
    for (int i = 0; i < count; ++i) {
        const std::string folder = "series" + std::to_string(i / 10 % 10) +
                                   (i % 2 ? "/sequels" : "") + "/set" + std::to_string(i / 100);
        const std::string name = "Game " + std::to_string(i);
        fs::create_directories(root / "collection" / folder);
        WriteBytes(root / "collection" / folder / (name + ".gba"),
                   MakeRomLike(static_cast<std::size_t>(mib) << 20, static_cast<std::uint64_t>(i)));
        const pellix::formats::Rgb8 colour{static_cast<std::uint8_t>(i * 8),
                                           static_cast<std::uint8_t>(i * 3), 200};
        fs::create_directories(root / "icons");
        pellix::formats::WriteBitmapFile((root / "icons" / (name + ".bmp")).string(),
                                         pellix::formats::MakeRgbPicture(48, 48, colour));
    }
    std::printf(
        "%d ROMs of %d MiB in nested folders, each with its own icon, compression on, "
        "%d builds at once\n",
        count, mib, jobs);
    const std::vector<std::string> args = {"-q",  "-r",      "-j",    std::to_string(jobs), "-o",
                                           "out", "--icons", "icons", "collection"};
    fs::create_directories(root / "out");
    std::vector<std::string> update = args;
    update.push_back("--update");

    const double full = Time(root, args, "the full build");
    if (full < 0) return 1;
    const double nothing = Time(root, update, "--update");
    if (nothing < 0) return 1;
    std::printf("full build:                     %8.2f s  (%.2f s per ROM)\n", full, full / count);
    std::printf(
        "--update, nothing changed:      %8.3f s  (%.3f s per hundred ROMs; "
        "target: well under 1)\n",
        nothing, nothing * 100 / count);
    return 0;
}
