// Times whole builds (the pipeline running the real installed programs) with our gzip on
// 2 threads and on 1, and with the system's, then the gzip step alone: ours, the system's
// gzip --best, pigz -9 and libdeflate-gzip -12; time, size and peak memory side by side,
// on ROM-like input and on real program code. Then the window's whole build ("Go..." to
// "Complete!") against the system's gzip --best alone on program code, run in turns.
// Usage: bench_build [RUNS=3] [MiB=32]
#include <sys/resource.h>
#include <sys/wait.h>
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

#include "bench_inputs.h"
#include "builder/build_pipeline.h"
#include "gzip/deflate_engine.h"
#include "support/rom_like.h"
#include "support/program.h"

namespace fs = std::filesystem;

namespace {

// An installation folder as `cmake --install` lays it out, with `gzip` as its bin/gzip.
void MakeInstallation(const fs::path& app, const std::string& gzip) {
    fs::create_directories(app / "bin" / "data");
    fs::create_directories(app / "gfx");
    const std::pair<std::string, const char*> programs[] = {{gzip, "gzip"},
                                                            {GRIT_PROGRAM, "grit"},
                                                            {GBACRUSHER_PROGRAM, "gbacrusher"},
                                                            {NDSTOOL_PROGRAM, "ndstool"},
                                                            {EFS_PROGRAM, "efs"}};
    for (const auto& [from, name] : programs)
        fs::copy_file(fs::canonical(from), app / "bin" / name);
    for (const char* image : {"7.bin", "9.bin"})
        fs::copy_file(fs::path(STANDIN_DIR) / image, app / "bin" / image);
    for (const char* picture : {"icon.bmp", "border.bmp", "preview.bmp"})
        fs::copy_file(fs::path(GFX_DIR) / picture, app / "gfx" / picture);
}

// Builds `rom` into `out`/rom.nds with the installation at `app`, in this program started
// again (bench_build --one-build APP ROM OUT), so that the peak memory is the build's own
// and its programs', not this process's inputs.
pellix::bench::Run TimeBuild(const char* self, int runs, const fs::path& app, const fs::path& rom,
                             const fs::path& out) {
    return pellix::bench::Median(
        runs, [&] { fs::remove(out / "rom.nds"); },
        [&] {
            const pellix::bench::Run run = pellix::bench::RunMeasured(
                self, {"--one-build", app.string(), rom.string(), out.string()}, out.string());
            if (run.exitCode != 0) std::exit(1);
            return run;
        });
}

void Row(const char* what, const pellix::bench::Run& run, uintmax_t size) {
    std::printf("  %-34s %7.3f s wall %7.3f s CPU %7ld KiB peak %10ju bytes\n", what, run.wall,
                run.cpu, run.peakKiB, size);
}

// The window's build of a program-code ROM, "Go..." to "Complete!" (as window_build times
// it), and the system's gzip --best alone on the same ROM, one after the other `runs` times
// so that a busy machine weighs on both alike: each time, its ratio and the spread.
void WindowAgainstGzip(int runs, size_t mib, const fs::path& dir) {
    const fs::path rom = dir / "code.gba", out = dir / "out";
    pellix::bench::WriteFile(rom, pellix::bench::MakeProgramCode(mib << 20));
    std::vector<double> window, gzip, ratio;
    for (int i = 0; i < std::max(runs, 5); ++i) {
        fs::remove(out / "code.nds");
        const pellix::bench::Run w = pellix::bench::RunMeasured(
            WINDOW_BUILD_PROGRAM, {(dir / "ours").string(), rom.string(), out.string()},
            dir.string(), (dir / "window.txt").string());
        double seconds = 0;
        std::ifstream(dir / "window.txt") >> seconds;
        if (w.exitCode != 0 || seconds <= 0) {
            std::fprintf(stderr, "the window's build failed\n");
            std::exit(1);
        }
        const pellix::bench::Run g = pellix::bench::RunMeasured(
            SYSTEM_GZIP, {"--best", "-c", rom.string()}, dir.string(), (dir / "code.gz").string());
        window.push_back(seconds);
        gzip.push_back(g.wall);
        ratio.push_back(seconds / g.wall);
    }
    const auto spread = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        char text[96];
        std::snprintf(text, sizeof text, "median %.3f, min %.3f, max %.3f", v[v.size() / 2],
                      v.front(), v.back());
        return std::string(text);
    };
    std::printf("\nThe window's build of %zu MiB of program code, Go... to Complete!, against the "
                "system's gzip --best alone, %zu turns\n",
                mib, window.size());
    std::printf("  window build (s):           %s\n", spread(window).c_str());
    std::printf("  system gzip --best (s):     %s\n", spread(gzip).c_str());
    std::printf("  window / system gzip:       %s\n", spread(ratio).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--one-build") {
        // A plain build with compression on: the ROM, an output folder, one title.
        pellix::BuildRequest request;
        request.rom = argv[3];
        request.outputFolder = argv[4];
        request.titles[0] = "Bench";
        request.psram = false;
        const pellix::BuildResult result = pellix::Build(request, argv[2]);
        if (result.kind == pellix::BuildOutcome::Delivered) return 0;
        std::fprintf(stderr, "the build failed: %s\n", result.message.c_str());
        return 1;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 32;
    if (!*SYSTEM_GZIP) {
        std::fprintf(stderr, "bench_build compares with the system's gzip, and there is none\n");
        return 1;
    }
    char name[] = "/tmp/pellix-bench-build-XXXXXX";
    const fs::path dir = mkdtemp(name);
    const std::string ours = fs::canonical(GZIP_PROGRAM).string();
    const std::string self = fs::canonical("/proc/self/exe").string();
    // One thread: the same program behind a wrapper that adds -p 1 to what the build passes.
    const fs::path oneThread = dir / "gzip-p1";
    std::ofstream(oneThread) << "#!/bin/sh\nexec '" << ours << "' -p 1 \"$@\"\n";
    fs::permissions(oneThread, fs::perms::owner_all);
    MakeInstallation(dir / "ours", ours);
    MakeInstallation(dir / "ours1", oneThread.string());
    MakeInstallation(dir / "system", SYSTEM_GZIP);
    fs::create_directories(dir / "out");

    std::printf("Whole builds and their gzip step alone, %zu MiB inputs, median of %d runs\n", mib,
                runs);
    std::printf("ours: bin/gzip over %s, --best = level %d, %zu KiB pieces, %u cores here\n",
                pellix::gzip::EngineName().c_str(), pellix::gzip::BestLevel(),
                pellix::gzip::kPieceSize >> 10, pellix::gzip::DefaultThreads());
    struct Input {
        const char* name;
        std::vector<uint8_t> bytes;
    } inputs[] = {{"ROM-like", pellix::testing::MakeRomLike(mib << 20)},
                  {"program code", pellix::bench::MakeProgramCode(mib << 20)}};
    for (const Input& input : inputs) {
        const fs::path rom = dir / "rom.gba";
        pellix::bench::WriteFile(rom, input.bytes);
        std::printf("\n%s\n", input.name);

        const auto build = [&](const char* installation) {
            const pellix::bench::Run run =
                TimeBuild(self.c_str(), runs, dir / installation, rom, dir / "out");
            return std::make_pair(run, fs::file_size(dir / "out" / "rom.nds"));
        };
        const auto [build2, package2] = build("ours");
        const auto [build1, package1] = build("ours1");
        const auto [buildSystem, packageSystem] = build("system");
        Row("build, our gzip, 2 threads", build2, package2);
        Row("build, our gzip, 1 thread", build1, package1);
        Row("build, system gzip", buildSystem, packageSystem);

        // The gzip step alone, each program on the same file, output to a file.
        const auto alone = [&](const std::string& program, std::vector<std::string> args) {
            args.push_back("rom.gba");
            const pellix::bench::Run run = pellix::bench::Median(
                runs, [] {}, [&] {
                    return pellix::bench::RunMeasured(program, args, dir.string(),
                                                      (dir / "rom.gz").string());
                });
            return std::make_pair(run, fs::file_size(dir / "rom.gz"));
        };
        const auto [ours2, ours2Size] = alone(ours, {"--best", "-c"});
        const auto [ours1, ours1Size] = alone(ours, {"--best", "-c", "-p", "1"});
        const auto [gzip, gzipSize] = alone(SYSTEM_GZIP, {"--best", "-c"});
        Row("our gzip --best, 2 threads", ours2, ours2Size);
        Row("our gzip --best, 1 thread", ours1, ours1Size);
        Row("system gzip --best", gzip, gzipSize);
        for (const auto& [program, level] : {std::pair<const char*, const char*>{"pigz", "-9"},
                                             {"libdeflate-gzip", "-12"}}) {
            const std::string path = "/usr/bin/" + std::string(program);
            if (!fs::exists(path)) {
                std::printf("  %s: not installed (scripts/setup.sh installs it)\n", program);
                continue;
            }
            const auto [run, size] = alone(path, {level, "-c"});
            Row((std::string(program) + " " + level).c_str(), run, size);
        }
        std::printf("  our build (2 threads) / system gzip --best alone: time x%.3f wall\n",
                    build2.wall / gzip.wall);
        std::printf("  our package / package with the system gzip: size x%.3f\n",
                    double(package2) / double(packageSystem));
        std::printf("  our gzip / system gzip: size x%.3f; 2 threads / 1 thread: wall x%.3f\n",
                    double(ours2Size) / double(gzipSize), ours2.wall / ours1.wall);
        std::printf("  our gzip's peak memory / input: x%.2f\n",
                    double(ours2.peakKiB) * 1024.0 / double(input.bytes.size()));
    }
    if (*WINDOW_BUILD_PROGRAM) WindowAgainstGzip(runs, mib, dir);
    fs::current_path(dir.parent_path());
    fs::remove_all(dir);
    return 0;
}
