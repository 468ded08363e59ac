// Inputs and measurements the gzip and build benchmarks share: a corpus of real program code
// and runs of other programs with their wall time, CPU time and peak memory.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pellix::bench {

// `size` bytes of real program code: the system's programs and libraries, read in name
// order until three quarters are filled, then 0xFF padding, as a ROM rounded up to a power
// of two has. The same on one machine from run to run.
inline std::vector<uint8_t> MakeProgramCode(size_t size) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const char* folder : {"/usr/bin", "/usr/lib/x86_64-linux-gnu"}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.is_regular_file(ec) && !entry.is_symlink(ec)) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<uint8_t> bytes;
    bytes.reserve(size);
    const size_t code = size / 4 * 3;
    for (const auto& file : files) {
        if (bytes.size() >= code) break;
        std::ifstream in(file, std::ios::binary);
        char head[4] = {};
        if (!in.read(head, 4) || std::string(head, 4) != "\x7f" "ELF") continue;
        in.seekg(0);
        std::vector<uint8_t> content((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
        content.resize(std::min(content.size(), code - bytes.size()));
        bytes.insert(bytes.end(), content.begin(), content.end());
    }
    bytes.resize(size, 0xFF);
    return bytes;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// One run of a program: how long it took and the most memory it held.
struct Run {
    int exitCode = -1;
    double wall = 0;       // seconds
    double cpu = 0;        // user + system seconds, all its threads
    long peakKiB = 0;      // peak resident memory
};

// Runs `program` with `args` in `folder`, standard output to `outFile` (or /dev/null):
// time and CPU from wait4, peak memory from GNU time. The program must not be started
// straight from this process: a child forked from it would count this process's memory
// (the inputs) as its own peak, even after exec.
inline Run RunMeasured(const std::string& program, const std::vector<std::string>& args,
                       const std::string& folder, const std::string& outFile = "/dev/null") {
    const std::string peakFile = folder + "/.peak";
    std::vector<std::string> all = {"/usr/bin/time", "-f", "%M", "-o", peakFile, program};
    all.insert(all.end(), args.begin(), args.end());
    std::fflush(nullptr);  // or the child writes out the parent's buffered lines again
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        if (!freopen(outFile.c_str(), "wb", stdout)) _exit(127);
        std::vector<char*> argv;
        for (const std::string& a : all) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream(peakFile) >> run.peakKiB;
    std::remove(peakFile.c_str());
    return run;
}

// The median run of `runs` (by wall time); `prepare` runs before each, outside the timing.
template <typename Prepare, typename Work>
Run Median(int runs, Prepare prepare, Work work) {
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i) {
        prepare();
        all.push_back(work());
    }
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.wall < b.wall; });
    return all[all.size() / 2];
}

}  // namespace pellix::bench
