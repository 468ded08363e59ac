// A temporary installation whose five programs are played in-process.
#include "fake_installation.h"

#include "builder/app_directory.h"

namespace fs = std::filesystem;

namespace pellix::test {

FakeInstallation::FakeInstallation()
    : previous_(fs::current_path()),
      app_(root_.path() / "app"),
      bin_(app_ / "bin"),
      roms_(root_.path() / "roms") {
    fs::create_directories(bin_ / "data");
    fs::create_directories(app_ / "gfx");
    fs::create_directories(roms_);
    WriteFile(bin_ / "7.bin", "ARM7");
    WriteFile(bin_ / "9.bin", "ARM9");
    WriteFile(app_ / "gfx" / "icon.bmp", "icon");
    WriteFile(app_ / "gfx" / "border.bmp", "border");
    SetApplicationDirectory(app_.string());
}

FakeInstallation::~FakeInstallation() {
    SetApplicationDirectory("");
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

ToolRunner FakeInstallation::Runner(std::map<std::string, std::function<void()>> during,
                                    std::string failing) {
    return [during, failing](const std::string& commandLine, const std::string& workDir) {
        // The program path comes first, in double quotes.
        const std::string program = commandLine.substr(1, commandLine.find('"', 1) - 1);
        const std::string name = fs::path(program).stem().string();
        const fs::path work = fs::u8path(workDir);
        modShellWait::RunResult result;
        result.started = true;
        result.exitCode = 0;
        if (auto it = during.find(name); it != during.end()) it->second();
        if (name == failing) {
            result.exitCode = 1;
            return result;
        }
        if (name == "gzip") {
            WriteFile(work / "data" / "game.gz", ReadFile(work / "data" / "game"));
            fs::remove(work / "data" / "game");
        } else if (name == "grit") {
            WriteFile(work / "border.img.bin", "pixels");
        } else if (name == "gbacrusher") {
            WriteFile(work / "data" / "border.lz7", "packed");
        } else if (name == "ndstool") {
            WriteFile(work / "x.nds", "package " + ReadFile(work / "data" / "mode.txt"));
        }
        return result;
    };
}

std::string FakeInstallation::MakeRom(const std::string& name, std::uintmax_t size) const {
    const fs::path path = roms_ / fs::u8path(name);
    WriteFile(path, "");
    fs::resize_file(path, size);
    return path.u8string();
}

}  // namespace pellix::test
