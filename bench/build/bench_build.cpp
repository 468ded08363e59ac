// Times whole builds (the pipeline running the real installed programs) on ROM-like
// inputs of 4, 16 and 32 MiB, beside the system's gzip --best alone on the same input and
// a build whose bin/gzip is the system's, and prints times and sizes side by side.
// Usage: bench_build [RUNS=3] [MiB...=4 16 32]
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

#include "build_pipeline.h"
#include "deflate_engine.h"
#include "rom_like.h"
#include "program.h"

namespace fs = std::filesystem;

namespace {

// The settings of a plain build with compression on: the ROM, an output folder, one title.
class BenchSettings : public pellix::SettingsSource {
  public:
    BenchSettings(std::string rom, std::string output)
        : rom_(std::move(rom)), output_(std::move(output)) {}
    std::string RomPath() override { return rom_; }
    std::string OutputFolder() override { return output_; }
    std::string Title(int line) override { return line == 1 ? "Bench" : ""; }
    std::string IconFile() override { return ""; }
    std::string BorderFile() override { return ""; }
    bool CustomizeOpen() override { return false; }
    int PsramValue() override { return 0; }
    int CompressionValue() override { return 1; }
    void SetGoEnabled(bool) override {}
    void ShowMessage(const std::string& text) override { message = text; }
    std::string message;

  private:
    std::string rom_, output_;
};

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
    double cpu = 0;   // median CPU time of this process and its programs, seconds
};

// Medians of `runs` calls of `work`; `prepare` runs before each, outside the timing.
Timing Measure(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double cpu = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        walls.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpus.push_back(CpuSeconds() - cpu);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// Builds `rom` into `out`/rom.nds with the installation at `app`; returns the build's time.
Timing TimeBuild(int runs, const fs::path& app, const fs::path& rom, const fs::path& out) {
    return Measure(
        runs, [&] { fs::remove(out / "rom.nds"); },
        [&] {
            BenchSettings settings(rom.string(), out.string());
            if (!pellix::RunBuild(settings, app.string())) {
                std::fprintf(stderr, "the build failed: %s\n", settings.message.c_str());
                std::exit(1);
            }
        });
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<size_t> mebibytes;
    for (int i = 2; i < argc; ++i) mebibytes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (mebibytes.empty()) mebibytes = {4, 16, 32};
    if (!*SYSTEM_GZIP) {
        std::fprintf(stderr, "bench_build compares with the system's gzip, and there is none\n");
        return 1;
    }
    char name[] = "/tmp/pellix-bench-build-XXXXXX";
    const fs::path dir = mkdtemp(name);
    MakeInstallation(dir / "ours", GZIP_PROGRAM);
    MakeInstallation(dir / "system", SYSTEM_GZIP);
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "alone");

    std::printf("Whole builds with the real programs, median of %d runs (wall / CPU seconds)\n",
                runs);
    std::printf("ours: bin/gzip over %s, --best = level %d; system: %s\n",
                pellix::gzip::EngineName().c_str(), pellix::gzip::BestLevel(), SYSTEM_GZIP);
    for (size_t mib : mebibytes) {
        const std::vector<uint8_t> bytes = pellix::testing::MakeRomLike(mib << 20);
        const fs::path rom = dir / "rom.gba";
        std::ofstream(rom, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));

        const Timing ours = TimeBuild(runs, dir / "ours", rom, dir / "out");
        const uintmax_t oursSize = fs::file_size(dir / "out" / "rom.nds");
        const Timing system = TimeBuild(runs, dir / "system", rom, dir / "out");
        const uintmax_t systemSize = fs::file_size(dir / "out" / "rom.nds");
        const Timing alone = Measure(
            runs,
            [&] {
                fs::remove(dir / "alone" / "game.gz");
                fs::copy_file(rom, dir / "alone" / "game", fs::copy_options::overwrite_existing);
            },
            [&] {
                pellix::testing::RunProgram(SYSTEM_GZIP, {"--best", "game"},
                                            (dir / "alone").string());
            });
        const uintmax_t aloneSize = fs::file_size(dir / "alone" / "game.gz");

        std::printf("\n%zu MiB ROM-like input\n", mib);
        std::printf("  build, our gzip          %6.3f / %6.3f s   package %10ju bytes\n", ours.wall,
                    ours.cpu, oursSize);
        std::printf("  build, system gzip       %6.3f / %6.3f s   package %10ju bytes\n",
                    system.wall, system.cpu, systemSize);
        std::printf("  system gzip --best alone %6.3f / %6.3f s   game.gz %10ju bytes\n",
                    alone.wall, alone.cpu, aloneSize);
        std::printf("  our build / system gzip --best alone: time x%.3f wall, x%.3f CPU\n",
                    ours.wall / alone.wall, ours.cpu / alone.cpu);
        std::printf("  our package / package with the system gzip: size x%.3f\n",
                    double(oursSize) / double(systemSize));
    }
    fs::current_path(dir.parent_path());
    fs::remove_all(dir);
    return 0;
}
