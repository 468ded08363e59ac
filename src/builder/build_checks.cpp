// The checks before a build: each input judged as the user gave it, nothing touched.
#include "builder/build_checks.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "builder/build_paths.h"
#include "builder/ds_inputs.h"
#include "builder/staging_files.h"
#include "builder/work_folder.h"
#include "formats/banner.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

constexpr const char* kBannerDefault = "Pellix";

bool IsBlankLine(const std::string& line) {
    return line.find_first_not_of(' ') == std::string::npos;
}

// "line 1", "lines 1 and 2": the lines before line `number` (from 1).
std::string LinesBefore(std::size_t number) {
    return number == 2 ? "line 1" : "lines 1 and 2";
}

// A custom picture: its absolute path when it names a file that is there, else "".
// A relative name is found where the window's own checks find it, in the current folder.
std::string ChosenPicture(const std::string& text) {
    if (!files::FileExists(text)) return "";
    std::error_code ec;
    const fs::path absolute = fs::absolute(files::ToPath(text), ec);
    return ec ? "" : absolute.u8string();
}

}  // namespace

std::string RomRefusal(const std::string& romText, const std::string& romPath) {
    if (romText.empty()) return kChooseRomFirst;
    const std::string rom = "the ROM " + romText;
    const fs::path path = files::ToPath(romPath);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return rom + " was not found";
    if (fs::is_directory(status)) return rom + " is a folder, not a file";
    // A device or a pipe could block the open below, or never end.
    if (!fs::is_regular_file(status)) return rom + " is not a file (a pipe, socket or device)";
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size == 0) return rom + " is empty";
    if (!ec && size > static_cast<std::uintmax_t>(kMaxRomSize))
        return rom + " is larger than 32 MiB, the most a GBA ROM can be";
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        const int error = errno != 0 ? errno : EACCES;
        return rom + " cannot be read: " + files::ErrorReason({error, std::generic_category()});
    }
    return "";
}

std::vector<std::string> BannerLines(const std::string& line1, const std::string& line2,
                                     const std::string& line3) {
    if (IsBlankLine(line1)) return {kBannerDefault};
    if (IsBlankLine(line2)) return {line1};
    if (IsBlankLine(line3)) return {line1, line2};
    return {line1, line2, line3};
}

TitleCheck CheckTitle(const std::string (&titles)[3], bool line1IsName) {
    TitleCheck check;
    const std::string line1 = formats::ReadableText(titles[0]);
    check.lines =
        BannerLines(line1, formats::ReadableText(titles[1]), formats::ReadableText(titles[2]));
    // A blank name gives "Pellix", as any blank line 1 does.
    const bool fitName = line1IsName && !IsBlankLine(line1);
    std::size_t used = 0;
    for (std::size_t i = 0; i < check.lines.size(); ++i) {
        const std::size_t units = formats::BannerUnits(check.lines[i]);
        const std::size_t breakBefore = i == 0 ? 0 : 1;
        // The name is counted as one character here and cut below to what the others leave.
        const std::size_t counted = i == 0 && fitName ? 1 : units;
        if (used + breakBefore + counted > kTitleRoom) {
            const std::string line = "title line " + std::to_string(i + 1) +
                                     " is too long: it takes " + std::to_string(units);
            const std::size_t room = kTitleRoom - std::min(kTitleRoom, used + breakBefore);
            const std::string all = std::to_string(kTitleRoom);
            check.refusal = i == 0 ? line + " UTF-16 units, and a DS title holds " + all
                                   : line + " of the " + std::to_string(room) +
                                         " UTF-16 units left after " + LinesBefore(i + 1) +
                                         " (a DS title holds " + all + ", line breaks included)";
            return check;
        }
        used += breakBefore + counted;
    }
    if (fitName) {
        const std::size_t room = kTitleRoom - (used - 1);
        const std::size_t units = formats::BannerUnits(line1);
        if (units > room) {
            check.lines[0] = formats::CutToUnits(line1, room);
            check.notice = "the title's line 1, the ROM's name, was cut to its first " +
                           std::to_string(formats::BannerUnits(check.lines[0])) + " of " +
                           std::to_string(units) + " UTF-16 units to fit the DS title";
        }
    }
    return check;
}

std::pair<PictureSource, PictureSource> PictureSources(const std::string& appDir,
                                                       const std::string& icon,
                                                       const std::string& border) {
    const std::string gfx =
        paths::WithoutTrailingSeparator(appDir) + paths::kSeparator + "gfx" + paths::kSeparator;
    PictureSource iconSource{ChosenPicture(icon), true};
    PictureSource borderSource{ChosenPicture(border), true};
    if (iconSource.path.empty()) iconSource = {gfx + "icon.bmp", false};
    if (borderSource.path.empty()) borderSource = {gfx + "border.bmp", false};
    return {iconSource, borderSource};
}

std::shared_ptr<const StagedPictures> PictureChecks::For(const std::string& icon,
                                                         const std::string& border) {
    const auto [iconSource, borderSource] = PictureSources(appDir_, icon, border);
    auto& pair = pairs_[{iconSource.path, borderSource.path}];
    if (pair) return pair;
    const auto convert = [](std::map<std::string, Converted>& known, const PictureSource& source,
                            std::vector<std::uint8_t> (*stage)(const PictureSource&)) {
        auto found = known.find(source.path);
        if (found == known.end()) {
            Converted made;
            try {
                made.bytes = stage(source);
            } catch (const std::runtime_error& e) {
                made.refusal = e.what();
            }
            found = known.emplace(source.path, std::move(made)).first;
        }
        if (!found->second.refusal.empty()) throw InputRefused(found->second.refusal);
        return found->second.bytes;
    };
    auto staged = std::make_shared<StagedPictures>();
    staged->iconSource = iconSource.path;
    staged->borderSource = borderSource.path;
    staged->border = convert(borders_, borderSource, StageBorder);
    staged->icon = convert(icons_, iconSource, StageIcon);
    pair = staged;
    return pair;
}

std::shared_ptr<const StagedPictures> CheckPictures(const std::string& appDir,
                                                    const std::string& icon,
                                                    const std::string& border) {
    const auto [iconSource, borderSource] = PictureSources(appDir, icon, border);
    try {
        return StagePictures(iconSource, borderSource);
    } catch (const std::runtime_error& e) {
        throw InputRefused(e.what());
    }
}

std::string DataFolderRefusal(const std::vector<std::string>& dataFolders) {
    // A name found in two data folders, told before a batch starts; links to folders are
    // not followed here (a loop would never end), the copy catches a clash below one.
    for (std::size_t i = 1; i < dataFolders.size(); ++i) {
        const fs::path later = files::ToPath(dataFolders[i]);
        const fs::path earlier = files::ToPath(dataFolders[i - 1]);
        std::error_code ec;
        for (fs::recursive_directory_iterator it(later, ec), end; !ec && it != end;
             it.increment(ec)) {
            const fs::path relative = it->path().lexically_relative(later);
            std::error_code statusError;
            const fs::file_status there = fs::symlink_status(earlier / relative, statusError);
            if (fs::exists(there) && !(fs::is_directory(there) && it->is_directory(statusError)))
                return "cannot pack " + it->path().u8string() + ": " +
                       DataClashReason((earlier / relative).u8string());
        }
    }
    for (const std::string& folder : dataFolders) {
        std::error_code ec;
        for (fs::directory_iterator it(files::ToPath(folder), ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().u8string();
            if (paths::IsBuildDataName(name)) {
                return "the staging folder " + folder + " holds " + name +
                       ", a name the build needs for a file of its own. Rename or move it.";
            }
        }
    }
    return "";
}

std::string OutputFolderRefusal(const std::string& folder) {
    const fs::path path = files::ToPath(folder);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "the output folder " + folder + " does not exist";
    if (!fs::is_directory(status)) return "the output folder " + folder + " is not a folder";
    std::random_device device;
    const fs::path probe = path / (".pellix-probe-" + std::to_string(device()));
    errno = 0;
    {
        std::ofstream file(probe, std::ios::binary);
        if (file) {
            file.close();
            fs::remove(probe, ec);
            return "";
        }
    }
    const int error = errno != 0 ? errno : EACCES;
    return "cannot write into the output folder " + folder + ": " +
           files::ErrorReason({error, std::generic_category()});
}

CheckedRequest CheckRequest(const BuildRequest& request, const std::string& appDir) {
    const std::string app = paths::WithoutTrailingSeparator(appDir);
    if (app.find('"') != std::string::npos) {
        throw InputRefused("the installation folder " + app +
                           " has a double quote in its name, which no command line can hold.");
    }
    const fs::path bin = files::ToPath(app) / "bin";
    CheckedRequest checked;
    checked.rom = request.rom.empty() ? "" : paths::Absolute(request.rom, bin).u8string();
    const std::string romProblem = RomRefusal(request.rom, checked.rom);
    if (!romProblem.empty()) throw InputRefused(romProblem);
    checked.output =
        paths::Absolute(paths::OutputPath(request.outputFolder, request.rom), bin).u8string();
    std::string problem = paths::OutputProblem(app, checked.output, !request.outputFolder.empty());
    if (problem.empty())
        problem = OutputFolderRefusal(files::ToPath(checked.output).parent_path().u8string());
    if (!problem.empty()) throw InputRefused(problem);
    const TitleCheck title = CheckTitle(request.titles, false);
    if (!title.refusal.empty()) throw InputRefused(title.refusal);
    checked.titleLines = title.lines;
    checked.inputs = FindDsInputs(app);
    problem = DataFolderRefusal(checked.inputs.dataFolders);
    if (!problem.empty()) throw InputRefused(problem);
    checked.pictures =
        request.pictures ? request.pictures : CheckPictures(app, request.icon, request.border);
    return checked;
}

}  // namespace pellix
