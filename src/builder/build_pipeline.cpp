// The package build: checks the request, stages, runs the programs, delivers, cleans up.
#include "builder/build_pipeline.h"

#include <filesystem>
#include <stdexcept>

#include "builder/build_checks.h"
#include "builder/build_paths.h"
#include "builder/ds_inputs.h"
#include "builder/package_record.h"
#include "builder/staging_files.h"
#include "builder/work_folder.h"
#include "system/command_line.h"
#include "system/files.h"

namespace fs = std::filesystem;

namespace pellix {

const char kComplete[] = "Complete!";
const char kChooseRomFirst[] = "Choose a GBA ROM first";

namespace {

constexpr const char kDidNotStart[] = "The build did not start: ";
constexpr const char kStopped[] = "The build stopped: ";

// A step failed; what() says which and why, for the user.
class BuildFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The request cannot be built; what() says why. `plain` messages are shown as they are.
class BuildRefused : public std::runtime_error {
  public:
    explicit BuildRefused(const std::string& reason, bool shownAsIs = false)
        : std::runtime_error(reason), plain(shownAsIs) {}
    bool plain;
};

// The package is there and may not be replaced.
class PackageKept : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a request comes to, every path absolute.
struct Plan {
    std::string rom;
    std::string output;
    std::vector<std::string> titleLines;
    std::shared_ptr<const StagedPictures> pictures;
    DsInputs inputs;
};

// A path below the working folder, `relative` written with "/".
std::string InWork(const std::string& work, const std::string& relative) {
    std::string path = work + paths::kSeparator + relative;
    for (std::size_t i = work.size(); i < path.size(); ++i)
        if (path[i] == '/') path[i] = paths::kSeparator;
    return path;
}

// Step 1: the request checked and pinned down before anything is touched.
Plan Resolve(const BuildRequest& request, const std::string& app) {
    CheckedRequest checked;
    try {
        checked = CheckRequest(request, app);
    } catch (const InputRefused& e) {
        throw BuildRefused(e.what(), request.rom.empty());
    }
    Plan plan;
    plan.rom = checked.rom;
    plan.output = checked.output;
    plan.titleLines = checked.titleLines;
    plan.pictures = checked.pictures;
    std::error_code ec;
    if (!request.replace && fs::exists(fs::symlink_status(files::ToPath(plan.output), ec)))
        throw PackageKept(PackageExistsReason(plan.output));
    plan.inputs = checked.inputs;
    return plan;
}

void Copy(const std::string& what, const std::string& from, const std::string& to) {
    const std::string failed = "cannot copy " + what + " " + from + " to " + to + ": ";
    try {
        if (!files::CopyFileTo(from, to)) throw BuildFailure(failed + "the copy is missing");
    } catch (const files::FileError& e) {
        throw BuildFailure(failed + e.reason());
    }
}

void WriteWorkFile(const std::string& path, const std::string& bytes) {
    const std::int16_t number = files::OpenBinary(path);
    // A failed open or write leaves the position where it was; the length check catches
    // a number that names no open file.
    const std::int32_t before = number != 0 ? files::NextWritePos[number] : 0;
    if (number != 0) files::WriteBinary(number, bytes, -1);
    const bool written =
        number != 0 && files::NextWritePos[number] == before + static_cast<std::int32_t>(bytes.size());
    const bool closed = number != 0 && files::CloseBinary(number);
    if (!written || !closed || files::FileSizeOrZero(path) != static_cast<std::int32_t>(bytes.size()))
        throw BuildFailure("cannot write " + path + ".");
}

std::string TrimEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Runs one program and insists on a clean exit and on the files the next steps read. An
// exit with `warningStatus` (when not 0) counts as clean: gzip exits 2 after a warning,
// such as a file time it cannot store, having written its output all the same.
void RunTool(const ToolRunner& runner, const std::string& app, const std::string& work,
             const std::string& name, const std::string& arguments,
             std::initializer_list<const char*> leaves, const char* consumes = nullptr,
             int warningStatus = 0) {
    const std::string program = app + paths::kSeparator + "bin" + paths::kSeparator + name +
                                paths::kProgramSuffix;
    const modShellWait::RunResult result = runner(QuoteArgument(program) + " " + arguments, work);
    if (!result.started) throw BuildFailure("cannot start " + name + ": " + TrimEnd(result.errorText));
    const bool warned = warningStatus != 0 && result.signal == 0 && result.exitCode == warningStatus;
    if (result.exitCode != 0 && !warned) {
        std::string text =
            result.signal != 0
                ? name + " was stopped by signal " + std::to_string(result.signal) + "."
                : name + " failed (exit status " + std::to_string(result.exitCode) + ").";
        const std::string lines = TrimEnd(result.errorText);
        if (!lines.empty()) text += "\n" + lines;
        throw BuildFailure(text);
    }
    for (const char* file : leaves)
        if (!files::FileExists(InWork(work, file)))
            throw BuildFailure(name + " ended without leaving " + InWork(work, file) + ".");
    if (consumes && files::FileExists(InWork(work, consumes)))
        throw BuildFailure(name + " ended without replacing " + InWork(work, consumes) + ".");
}

// Step 2: the ROM, the pictures and the mode file in the working folder.
void Stage(const BuildRequest& request, const Plan& plan, const std::string& work) {
    Copy("the ROM", plan.rom, InWork(work, "data/game"));
    const auto& pictures = *plan.pictures;
    WriteWorkFile(InWork(work, "border.bmp"),
                  std::string(pictures.border.begin(), pictures.border.end()));
    WriteWorkFile(InWork(work, "icon.bmp"), std::string(pictures.icon.begin(), pictures.icon.end()));
    // The second letter tells the DS side which ROM file the package holds.
    WriteWorkFile(InWork(work, "data/mode.txt"), std::string(request.psram ? "P" : "N") +
                                                     (request.compression ? "C" : "U"));
}

// Step 3: the five programs, in the design's order and with its command lines.
void RunPrograms(const BuildRequest& request, const Plan& plan, const std::string& app,
                 const std::string& work, const ToolRunner& runner, std::uint64_t inputs) {
    const std::string sep(1, paths::kSeparator);
    if (request.compression) {
        RunTool(runner, app, work, "gzip", "--best data" + sep + "game", {"data/game.gz"},
                "data/game", 2);
    } else {
        // A rename, not a copy: the ROM is staged once.
        std::error_code ec;
        fs::rename(files::ToPath(InWork(work, "data/game")),
                   files::ToPath(InWork(work, "data/game.gba")), ec);
        if (ec)
            throw BuildFailure("cannot rename " + InWork(work, "data/game") + ": " +
                               files::ErrorReason(ec));
    }
    RunTool(runner, app, work, "grit", "border.bmp -ftbin -fh! -gB16", {"border.img.bin"});
    RunTool(runner, app, work, "gbacrusher", "-l border.img.bin -o data" + sep + "border.lz7",
            {"data/border.lz7"});
    RunTool(runner, app, work, "ndstool",
            "-c x.nds -7 7.bin -9 9.bin -d data -g \"QLMR\" \"12\" \"Quillmere\" " +
                BannerArguments(plan.titleLines),
            {"x.nds"});
    // The stamp goes in before efs records the package's size, and is sealed after it.
    AppendStamp(InWork(work, "x.nds"), inputs);
    RunTool(runner, app, work, "efs", "x.nds", {"x.nds"});
    SealStamp(InWork(work, "x.nds"));
}

PackageInputs InputsOf(const BuildRequest& request, const Plan& plan, std::uint64_t stagedFiles) {
    PackageInputs inputs;
    inputs.stagedFiles = stagedFiles;
    inputs.rom = plan.rom;
    inputs.icon = plan.pictures->iconSource;
    inputs.border = plan.pictures->borderSource;
    inputs.titleLines = plan.titleLines;
    inputs.psram = request.psram;
    inputs.compression = request.compression;
    return inputs;
}

// Step 4: the package put in place under a temporary name first, so a failed copy never
// leaves a truncated package or destroys one that is there.
void Deliver(const std::string& package, const std::string& output, bool replace) {
    std::string partial;
    try {
        partial = files::CopyFileBeside(package, output);
    } catch (const files::FileError& e) {
        throw BuildFailure("cannot copy the package " + package + " to " + output + ": " +
                           e.reason());
    }
    std::error_code error;
    if (replace) {
        fs::rename(files::ToPath(partial), files::ToPath(output), error);
    } else {
        // The check made before the build may be out of date: a file may have come since.
        error = os::RenameNoReplace(partial, output);
    }
    if (error) {
        files::RemoveFileIfPresent(partial);
        if (!replace && error == std::errc::file_exists)
            throw PackageKept(PackageExistsReason(output));
        throw BuildFailure("cannot write " + output + ": " + files::ErrorReason(error));
    }
}

BuildResult Result(BuildOutcome kind, const std::string& package, const std::string& reason,
                   const std::string& message) {
    BuildResult result;
    result.kind = kind;
    result.package = package;
    result.reason = reason;
    result.message = message;
    return result;
}

}  // namespace

std::string PackageExistsReason(const std::string& output) {
    return "the package " + output + " exists";
}

std::string BannerArguments(const std::vector<std::string>& lines) {
    bool semicolonInLine = false;
    for (const std::string& line : lines) semicolonInLine |= line.find(';') != std::string::npos;
    const char separator = semicolonInLine ? '\n' : ';';
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += separator;
        text += lines[i];
    }
    return (semicolonInLine ? "-bl icon.bmp " : "-b icon.bmp ") + QuoteArgument(text);
}

std::string OutputPath(const std::string& outputFolder, const std::string& romPath) {
    return paths::OutputPath(outputFolder, romPath);
}

std::uint64_t RequestDigest(const BuildRequest& request, const std::string& appDir,
                            std::uint64_t stagedFiles) {
    const std::string app = paths::WithoutTrailingSeparator(appDir);
    Plan plan;
    plan.rom = paths::Absolute(request.rom, files::ToPath(app) / "bin").u8string();
    // The lines and picture files exactly as the check stage gives them to a build.
    plan.titleLines = CheckTitle(request.titles, false).lines;
    auto sources = std::make_shared<StagedPictures>();
    if (request.pictures) {
        sources->iconSource = request.pictures->iconSource;
        sources->borderSource = request.pictures->borderSource;
    } else {
        const auto [icon, border] = PictureSources(app, request.icon, request.border);
        sources->iconSource = icon.path;
        sources->borderSource = border.path;
    }
    plan.pictures = sources;
    return InputsDigest(InputsOf(request, plan, stagedFiles));
}

ToolRunner::ToolRunner()
    : run_([](const std::string& commandLine, const std::string& workingDir) {
          return modShellWait::RunAndWait(commandLine, workingDir);
      }) {}

BuildResult Build(const BuildRequest& request, const std::string& appDir,
                  const ToolRunner& runner, const std::string& tempParent) {
    const std::string app = paths::WithoutTrailingSeparator(appDir);
    std::string package;
    try {
        const Plan plan = Resolve(request, app);
        package = plan.output;
        WorkFolder work(plan.inputs, tempParent);
        // The DS images and data files are judged before the ROM joins them in data/.
        const std::uint64_t staged = StagedFilesDigest(work.path());
        Stage(request, plan, work.path());
        const std::uint64_t inputs = InputsDigest(InputsOf(request, plan, staged));
        RunPrograms(request, plan, app, work.path(), runner, inputs);
        Deliver(InWork(work.path(), "x.nds"), plan.output, request.replace);
        return Result(BuildOutcome::Delivered, package, "", kComplete);
    } catch (const BuildRefused& e) {
        return Result(BuildOutcome::Refused, package, e.what(),
                      e.plain ? e.what() : std::string(kDidNotStart) + e.what());
    } catch (const DataNameClash& e) {
        return Result(BuildOutcome::Refused, package, e.what(),
                      std::string(kDidNotStart) + e.what());
    } catch (const PackageKept& e) {
        return Result(BuildOutcome::Skipped, package, e.what(),
                      std::string(kDidNotStart) + e.what());
    } catch (const files::FileError& e) {
        return Result(BuildOutcome::Failed, package, e.what(), std::string(kStopped) + e.what());
    } catch (const std::exception& e) {
        return Result(BuildOutcome::Failed, package, e.what(), std::string(kStopped) + e.what());
    }
}

}  // namespace pellix
