// A second process for the builder tests: runs one build of an installation, as another
// copy of Pellix would, and reports its messages on stderr.
//
// Usage: pellix_build_probe APPDIR ROM OUTPUT-FOLDER [READY-FILE]
// With READY-FILE it stops in the middle of its build, with its files staged, writes its
// process id into READY-FILE and waits there until it is killed.
// Exit status 0 when the package was delivered, 1 when not, 2 on bad arguments.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "build_pipeline.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace {

class ProbeSettings : public pellix::SettingsSource {
  public:
    ProbeSettings(std::string rom, std::string output, std::string ready)
        : rom_(std::move(rom)), output_(std::move(output)), ready_(std::move(ready)) {}

    std::string RomPath() override { return rom_; }
    std::string OutputFolder() override { return output_; }
    std::string Title(int line) override { return line == 1 ? "Probe" : ""; }
    std::string IconFile() override { return ""; }
    std::string BorderFile() override { return ""; }
    bool CustomizeOpen() override { return false; }
    int PsramValue() override {
        // Read after the ROM, border and icon are staged: a good moment to die.
        if (!ready_.empty()) {
            { std::ofstream(ready_ + ".tmp") << getpid(); }
            std::rename((ready_ + ".tmp").c_str(), ready_.c_str());
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        return 1;
    }
    int CompressionValue() override { return 1; }
    void SetGoEnabled(bool) override {}
    void ShowMessage(const std::string& text) override { std::cerr << text << "\n"; }

  private:
    std::string rom_, output_, ready_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::cerr << "usage: pellix_build_probe APPDIR ROM OUTPUT-FOLDER [READY-FILE]\n";
        return 2;
    }
    ProbeSettings settings(argv[2], argv[3], argc == 5 ? argv[4] : "");
    return pellix::RunBuild(settings, argv[1]) ? 0 : 1;
}
