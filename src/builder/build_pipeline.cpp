// The package build: stages the inputs, runs the five programs and delivers the .nds file.
#include "build_pipeline.h"

#include <cctype>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>

#include "command_line.h"
#include "modio.h"
#include "files.h"
#include "picture_staging.h"
#include "platform.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

constexpr char kSep = os::kPathSeparator;
using os::kExeSuffix;
using os::kPathsIgnoreCase;

constexpr const char* kBannerDefault = "Pellix";

// The files a build writes below bin (with "/" for the separator), in the order they are
// removed afterwards. A build owns exactly these; everything else in bin/data is packed.
constexpr const char* kStagedFiles[] = {
    "x.nds",         "border.bmp",   "border.img.bin", "icon.bmp",        "data/mode.txt",
    "data/game.gba", "data/game.gz", "data/game",      "data/border.lz7",
};

// The file in the working folder whose lock one build holds from before it touches any
// working file until it has removed them. Outside data/, so it is never packed; it stays
// when the build ends, since removing it would let a second locker lock another file.
constexpr const char* kLockFile = "pellix.lock";

// A step failed; what() says which and why, for the user.
class BuildFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The build was refused before it touched anything; what() is the whole message.
class BuildRefused : public BuildFailure {
  public:
    using BuildFailure::BuildFailure;
};

// The working folders this process is building in (their Canonical form).
std::mutex g_busyMutex;
std::set<std::string> g_busyFolders;

// Holds one working folder for this process's build, if no other build of it has it.
class BusyFolder {
  public:
    explicit BusyFolder(std::string key) : key_(std::move(key)) {
        const std::lock_guard<std::mutex> lock(g_busyMutex);
        held_ = g_busyFolders.insert(key_).second;
    }
    ~BusyFolder() {
        if (!held_) return;
        const std::lock_guard<std::mutex> lock(g_busyMutex);
        g_busyFolders.erase(key_);
    }
    BusyFolder(const BusyFolder&) = delete;
    BusyFolder& operator=(const BusyFolder&) = delete;
    bool held() const { return held_; }

  private:
    std::string key_;
    bool held_ = false;
};

// Where a build finds its programs and pictures and where it works, each without a
// trailing separator.
struct Installation {
    std::string app;   // the installation
    std::string bin;   // its bin folder: the programs, and the base of relative paths
    std::string work;  // the working folder: 7.bin, 9.bin, data/ and the staged files
    bool enterWork;    // make the working folder the current directory, as the window does

    // A path below the working folder, `relative` written with "/".
    std::string InWork(const std::string& relative) const {
        std::string path = work + kSep + relative;
        for (std::size_t i = work.size(); i < path.size(); ++i)
            if (path[i] == '/') path[i] = kSep;
        return path;
    }
    std::string Program(const std::string& name) const { return bin + kSep + name + kExeSuffix; }
};

bool IsOn(int checkValue) {
    return checkValue == 1;
}

bool IsBlankLine(const std::string& line) {
    return line.find_first_not_of(' ') == std::string::npos;
}

// `path` made absolute: a relative one is taken from the folder `base` (itself absolute),
// so the result never depends on the process's current directory.
fs::path Absolute(const std::string& path, const fs::path& base) {
    fs::path p = modIO::ToPath(path);
    if (p.is_relative()) p = base / p;
    return p;
}

// The absolute form of a path as the build's own strings write it.
std::string AbsoluteText(const std::string& path, const fs::path& base) {
    if (!modIO::ToPath(path).is_relative()) return path;
    return Absolute(path, base).u8string();
}

// Absolute, normalised form of `path` (relative ones taken from `base`), for comparing.
std::string Canonical(const std::string& path, const fs::path& base) {
    const fs::path p = Absolute(path, base);
    std::error_code ec;
    fs::path canon = fs::weakly_canonical(p, ec);
    if (ec) canon = p.lexically_normal();
    std::string text = canon.u8string();
    if (kPathsIgnoreCase)
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Refuses a build that would stage over, or deliver to, one of the files it deletes.
void RefuseStagedPath(const Installation& inst, const std::string& role, const std::string& path,
                      const fs::path& base) {
    const std::string mine = Canonical(path, base);
    for (const char* staged : kStagedFiles) {
        if (mine == Canonical(inst.InWork(staged), base)) {
            throw BuildRefused("The build did not start: " + role + " " + path +
                               " is one of the working files that a build writes in " + inst.work +
                               " and deletes afterwards. Choose a file or folder outside it.");
        }
    }
}

// Refuses an output path inside a staging folder (the working folder's data, or the
// installation's bin/data): the package would be packed into every later one.
void RefuseOutputInStaging(const Installation& inst, const std::string& outputText,
                           const fs::path& base) {
    const std::string output = Canonical(outputText, base);
    for (const std::string& folder : {inst.InWork("data"), inst.bin + kSep + "data"}) {
        if (output.rfind(Canonical(folder, base) + kSep, 0) == 0) {
            throw BuildRefused("The build did not start: the output file " + outputText +
                               " is in the staging folder " + folder +
                               ", whose whole content goes into every package. Choose a "
                               "folder outside it.");
        }
    }
}

void Copy(const std::string& what, const std::string& from, const std::string& to) {
    const std::string failed = "cannot copy " + what + " " + from + " to " + to + ": ";
    try {
        if (!modIO::CopyFileTo(from, to)) throw BuildFailure(failed + "the copy is missing");
    } catch (const modIO::FileError& e) {
        throw BuildFailure(failed + e.reason());
    }
}

std::string TrimEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Runs one program and insists on a clean exit and on the files the next steps read.
void RunTool(const ToolRunner& runner, const Installation& inst, const std::string& name,
             const std::string& arguments, std::initializer_list<const char*> leaves,
             const char* consumes = nullptr) {
    const std::string commandLine = QuoteArgument(inst.Program(name)) + " " + arguments;
    const modShellWait::RunResult result = runner(commandLine, inst.work);
    if (!result.started) {
        throw BuildFailure("cannot start " + name + ": " + TrimEnd(result.errorText));
    }
    if (result.exitCode != 0) {
        std::string text =
            result.signal != 0
                ? name + " was stopped by signal " + std::to_string(result.signal) + "."
                : name + " failed (exit status " + std::to_string(result.exitCode) + ").";
        const std::string lines = TrimEnd(result.errorText);
        if (!lines.empty()) text += "\n" + lines;
        throw BuildFailure(text);
    }
    for (const char* file : leaves) {
        if (!modIO::PathExists(inst.InWork(file))) {
            throw BuildFailure(name + " ended without leaving " + inst.InWork(file) + ".");
        }
    }
    if (consumes && modIO::PathExists(inst.InWork(consumes))) {
        throw BuildFailure(name + " ended without replacing " + inst.InWork(consumes) + ".");
    }
}

void RemoveStaged(const Installation& inst) {
    for (const char* staged : kStagedFiles) modIO::KillFile(inst.InWork(staged));
}

// A custom picture named in the window: its absolute path when the panel is open and the
// file is there, else "". A relative name is found where the window's own checks find it,
// in the current directory; when that folder is gone, nothing is found there.
std::string CustomPicture(bool customizeOpen, const std::string& text) {
    if (!customizeOpen || !modIO::PathExists(text)) return "";
    const fs::path p = modIO::ToPath(text);
    if (!p.is_relative()) return text;
    std::error_code ec;
    const fs::path absolute = fs::absolute(p, ec);
    return ec ? "" : absolute.u8string();
}

// The steps of a build between disabling and enabling "Go...". Throws BuildFailure.
void Build(SettingsSource& source, const Installation& inst, const ToolRunner& runner,
           std::optional<os::FileLock>& lock, bool& staging) {
    const std::string app = inst.app;
    if (app.find('"') != std::string::npos) {
        throw BuildRefused("The build did not start: the installation folder " + app +
                           " has a double quote in its name, which no command line can hold.");
    }

    // The sources. A custom picture counts only while the panel is open and the file is
    // there; it is pinned to an absolute path now, so the file tested is the file copied.
    std::string icon = app + kSep + "gfx" + kSep + "icon.bmp";
    const std::string iconText = source.IconFile();
    if (std::string custom = CustomPicture(source.CustomizeOpen(), iconText); !custom.empty())
        icon = custom;
    std::string border = app + kSep + "gfx" + kSep + "border.bmp";
    const std::string borderText = source.BorderFile();
    if (std::string custom = CustomPicture(source.CustomizeOpen(), borderText); !custom.empty())
        border = custom;
    const std::string title1 = source.Title(1);
    const std::string title2 = source.Title(2);
    const std::string title3 = source.Title(3);
    const std::string banner = BannerText(title1, title2, title3);
    const std::string romText = source.RomPath();
    const std::string outputText = OutputPath(source.OutputFolder(), romText);

    // Relative ROM and output paths resolve against bin, where the design's build stands
    // when it copies them; they are pinned now, so no step depends on the current folder.
    const fs::path binPath = modIO::ToPath(inst.bin);
    RefuseStagedPath(inst, "the ROM", romText, binPath);
    RefuseStagedPath(inst, "the output file", outputText, binPath);
    RefuseStagedPath(inst, "the icon", icon, binPath);
    RefuseStagedPath(inst, "the border picture", border, binPath);
    RefuseOutputInStaging(inst, outputText, binPath);
    const std::string rom = AbsoluteText(romText, binPath);
    const std::string output = AbsoluteText(outputText, binPath);

    if (inst.enterWork) {
        try {
            os::ChangeDirectory(inst.work);
        } catch (const modIO::FileError& e) {
            throw BuildFailure(std::string(e.what()));
        }
    }
    const std::string data = inst.InWork("data");
    std::error_code dataError;
    if (!fs::is_directory(modIO::ToPath(data), dataError)) {
        throw BuildFailure("the staging folder " + data + " does not exist; the " +
                           (inst.work == inst.bin ? "installation" : "working folder") +
                           " is incomplete.");
    }

    // Another process building here (a second window on this installation, say) would mix
    // its files with ours. It is refused rather than made to wait: a wait has no end the
    // user can see (a program may run for ever) and would be given settings read now.
    const std::string lockFile = inst.InWork(kLockFile);
    try {
        lock.emplace(lockFile);
    } catch (const modIO::FileError& e) {
        throw BuildFailure(std::string(e.what()));
    }
    if (!lock->held()) {
        throw BuildRefused("The build did not start: another build is running in " + inst.work +
                           " (in another Pellix window or program). Try again when it has "
                           "finished.");
    }

    // An interrupted build may have left its files; none of them may reach this package.
    staging = true;
    for (const char* staged : kStagedFiles) {
        if (!modIO::KillFile(inst.InWork(staged))) {
            throw BuildFailure("cannot remove " + inst.InWork(staged) +
                               ", left behind by an earlier build.");
        }
    }

    Copy("the ROM", rom, inst.InWork("data/game"));
    const std::string sep(1, kSep);
    // The second mode letter tells the DS side which ROM file the package holds, so it
    // follows what is staged here, not a later change of the check box.
    const bool compressed = IsOn(source.CompressionValue());
    if (compressed) {
        RunTool(runner, inst, "gzip", "--best data" + sep + "game", {"data/game.gz"}, "data/game");
    } else {
        Copy("the ROM", inst.InWork("data/game"), inst.InWork("data/game.gba"));
        if (!modIO::KillFile(inst.InWork("data/game")))
            throw BuildFailure("cannot remove " + inst.InWork("data/game") + ".");
    }

    Copy("the border picture", border, inst.InWork("border.bmp"));
    ConvertStagedBorder(border, inst.InWork("border.bmp"));
    RunTool(runner, inst, "grit", "border.bmp -ftbin -fh! -gB16", {"border.img.bin"});
    RunTool(runner, inst, "gbacrusher", "-l border.img.bin -o data" + sep + "border.lz7",
            {"data/border.lz7"});
    Copy("the icon", icon, inst.InWork("icon.bmp"));
    ConvertStagedIcon(icon, inst.InWork("icon.bmp"));

    // PSRAM is read now: a change made while a program ran still counts.
    const std::string psram = IsOn(source.PsramValue()) ? "P" : "N";
    const std::string mode = psram + (compressed ? "C" : "U");
    const std::string modeFile = inst.InWork("data/mode.txt");
    const std::int16_t number = modIO::OpenBinary(modeFile);
    // A failed open or write leaves the position where it was; the length check catches
    // a number that names no open file.
    const std::int32_t before = number != 0 ? modIO::NextWritePos[number] : 0;
    if (number != 0) modIO::WriteBinary(number, mode, -1);
    const bool written = number != 0 && modIO::NextWritePos[number] == before + 2;
    const bool closed = number != 0 && modIO::CloseBinary(number);
    if (!written || !closed || modIO::SafeFileLen(modeFile) != 2)
        throw BuildFailure("cannot write the mode file " + modeFile + ".");

    RunTool(runner, inst, "ndstool",
            "-c x.nds -7 7.bin -9 9.bin -d data -g \"QLMR\" \"12\" \"Quillmere\" -b icon.bmp " +
                QuoteArgument(banner),
            {"x.nds"});
    RunTool(runner, inst, "efs", "x.nds", {"x.nds"});

    // Delivered under a temporary name first, so a failed copy never leaves a truncated
    // package or destroys one that is already there. The name is that of a file the copy
    // creates, so no file of the user's is overwritten, or removed, on the way.
    const std::string package = inst.InWork("x.nds");
    std::string partial;
    try {
        partial = modIO::CopyFileBeside(package, output);
    } catch (const modIO::FileError& e) {
        throw BuildFailure("cannot copy the package " + package + " to " + output + ": " +
                           e.reason());
    }
    std::error_code renameError;
    fs::rename(modIO::ToPath(partial), modIO::ToPath(output), renameError);
    if (renameError) {
        modIO::KillFile(partial);
        throw BuildFailure("cannot write " + output + ": " + modIO::ErrorReason(renameError));
    }
    RemoveStaged(inst);
    staging = false;
}

}  // namespace

bool BuildRunning() {
    const std::lock_guard<std::mutex> lock(g_busyMutex);
    return !g_busyFolders.empty();
}

std::string BannerText(const std::string& line1, const std::string& line2,
                       const std::string& line3) {
    if (IsBlankLine(line1)) return kBannerDefault;
    if (IsBlankLine(line2)) return line1;
    if (IsBlankLine(line3)) return line1 + ";" + line2;
    return line1 + ";" + line2 + ";" + line3;
}

std::string OutputPath(const std::string& outputFolder, const std::string& romPath) {
    std::string path = outputFolder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += kSep;
    return path + modIO::BaseName(romPath, ".gba") + ".nds";
}

ToolRunner::ToolRunner()
    : run_([](const std::string& commandLine, const std::string& workingDir) {
          return modShellWait::RunAndWait(commandLine, workingDir);
      }) {}

ToolRunner::ToolRunner(modShellWait::RunResult (*run)(const std::string& commandLine)) {
    if (run ==
        static_cast<modShellWait::RunResult (*)(const std::string&)>(&modShellWait::RunAndWait)) {
        *this = ToolRunner();
    } else {
        run_ = [run](const std::string& commandLine, const std::string&) {
            return run(commandLine);
        };
    }
}

namespace {

bool Run(SettingsSource& source, const Installation& inst, const ToolRunner& runner) {
    const BusyFolder busy(Canonical(inst.work, modIO::ToPath(inst.bin)));
    if (!busy.held()) return false;
    source.SetGoEnabled(false);
    // Held until the working files are gone, failure or not.
    std::optional<os::FileLock> lock;
    bool staging = false;
    std::string failure;
    try {
        Build(source, inst, runner, lock, staging);
    } catch (const BuildRefused& e) {
        failure = e.what();
    } catch (const std::exception& e) {
        failure = std::string("The build stopped: ") + e.what();
    }
    if (!failure.empty()) {
        if (staging) RemoveStaged(inst);
        source.ShowMessage(failure);
        source.SetGoEnabled(true);
        return false;
    }
    source.ShowMessage("Complete!");
    source.SetGoEnabled(true);
    return true;
}

// `path` without trailing separators (a root keeps its own).
std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == kSep) &&
           !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

}  // namespace

bool RunBuild(SettingsSource& source, const std::string& appDir, const ToolRunner& runner) {
    const std::string bin = appDir + kSep + "bin";
    return Run(source, Installation{appDir, bin, bin, true}, runner);
}

bool RunBuildIn(SettingsSource& source, const std::string& appDir, const std::string& workDir,
                const ToolRunner& runner) {
    const std::string bin = appDir + kSep + "bin";
    return Run(source, Installation{appDir, bin, WithoutTrailingSeparator(workDir), false}, runner);
}

}  // namespace pellix
