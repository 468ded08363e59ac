// A second process for the builder tests: builds as another copy of Pellix would.
//
// Usage:
//   pellix_build_probe build APPDIR ROM OUTPUT-FOLDER [READY-FILE]
//     One build. With READY-FILE it stops when its first program is due, with its working
//     folder made and filled, writes its process id into READY-FILE and waits there until
//     it is killed. Exit status 0 when the package was delivered, 1 when not.
//   pellix_build_probe batch APPDIR OUTPUT-FOLDER STOP-FILE ROM...
//     Batches of the ROMs (two builds at once, replacing their packages) one after another
//     until STOP-FILE exists. Prints the number of batches; exit status 0 when every package
//     of every batch was built, 1 when not.
// Exit status 2 on bad arguments.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "builder/batch.h"
#include "builder/build_pipeline.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace {

int Build(const std::string& app, const std::string& rom, const std::string& output,
          const std::string& ready) {
    pellix::BuildRequest request;
    request.rom = rom;
    request.outputFolder = output;
    request.titles[0] = "Probe";
    const pellix::ToolRunner runner = [&](const std::string& line, const std::string& dir) {
        if (!ready.empty()) {
            { std::ofstream(ready + ".tmp") << getpid(); }
            std::rename((ready + ".tmp").c_str(), ready.c_str());
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        return pellix::modShellWait::RunAndWait(line, dir);
    };
    const pellix::BuildResult result = pellix::Build(request, app, runner);
    if (result.kind != pellix::BuildOutcome::Delivered) std::cerr << result.message << "\n";
    return result.kind == pellix::BuildOutcome::Delivered ? 0 : 1;
}

class Quiet : public pellix::BatchObserver {
  public:
    void Started(const pellix::Job&) override {}
    void Finished(const pellix::Job& job) override {
        if (job.state != pellix::JobState::Built) std::cerr << job.rom << ": " << job.reason << "\n";
    }
};

int Batches(const std::string& app, const std::string& output, const std::string& stop,
            const std::vector<std::string>& roms) {
    pellix::BatchSettings settings;
    settings.outputFolder = output;
    settings.force = true;
    int rounds = 0;
    bool allBuilt = true;
    while (!std::filesystem::exists(stop)) {
        std::vector<pellix::Job> jobs = pellix::PlanBatch(roms, settings, app);
        Quiet quiet;
        pellix::RunBatch(jobs, settings, app, 2, quiet);
        allBuilt = allBuilt && pellix::ExitStatus(jobs) == 0;
        ++rounds;
    }
    std::cout << rounds << "\n";
    return allBuilt ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 4 && args.size() <= 5 && args[0] == "build")
        return Build(args[1], args[2], args[3], args.size() == 5 ? args[4] : "");
    if (args.size() >= 5 && args[0] == "batch")
        return Batches(args[1], args[2], args[3], {args.begin() + 4, args.end()});
    std::cerr << "usage: pellix_build_probe build APPDIR ROM OUTPUT-FOLDER [READY-FILE]\n"
                 "       pellix_build_probe batch APPDIR OUTPUT-FOLDER STOP-FILE ROM...\n";
    return 2;
}
