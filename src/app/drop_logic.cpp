// Dropped files: classification, the rules of a drop, and the batch build of several ROMs.
#include "app/drop_logic.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <stdexcept>

#include "app/main_window_logic.h"
#include "builder/rom_names.h"
#include "builder/staging_files.h"
#include "app/window_layout.h"
#include "builder/build_checks.h"
#include "builder/staging_files.h"

namespace pellix::app {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The name's extension with its dot, in lower case; "" when it has none.
std::string Extension(const std::string& path) {
    const std::string name = files::BaseName(path, "");
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? "" : Lower(name.substr(dot));
}

// A control's rect in the client area's coordinates.
TwipsRect InWindow(MainControl control) {
    TwipsRect rect = Design(control).rect;
    for (int c = Design(control).container; c != kWindow;) {
        const ControlDesign& holder = Design(static_cast<MainControl>(c));
        rect.left += holder.rect.left;
        rect.top += holder.rect.top;
        c = holder.container;
    }
    return rect;
}

// Whether the point lies in the band from the row's label to its button.
bool InRow(double x, double y, MainControl label, MainControl box, MainControl button) {
    const TwipsRect first = InWindow(label);
    const TwipsRect last = InWindow(button);
    const TwipsRect middle = InWindow(box);
    const int top = std::min({first.top, middle.top, last.top});
    const int bottom =
        std::max({first.top + first.height, middle.top + middle.height, last.top + last.height});
    return x >= first.left && x < last.left + last.width && y >= top && y < bottom;
}

const char kWhatCanBeDropped[] =
    "Drop a GBA ROM (.gba) anywhere on the window, several ROMs to build them one after "
    "another (with pictures named like them for their icons), or a picture (.bmp, .png, "
    ".jpg, .gif) onto the Icon or Border box.";

// The window's progress dialog as the batch engine's observer.
class ProgressObserver : public BatchObserver {
  public:
    ProgressObserver(BatchProgress& progress, std::size_t count)
        : progress_(progress), count_(count) {}
    void Started(const Job& job) override { progress_.BatchStep(index_++, count_, job.rom); }
    void Finished(const Job&) override {}
    bool Cancelled() override { return progress_.BatchCancelled(); }

  private:
    BatchProgress& progress_;
    std::size_t count_;
    std::size_t index_ = 0;
};

// A picture's path less its extension.
std::string PictureName(const std::string& path) {
    const std::string ext = Extension(path);
    return path.substr(0, path.size() - ext.size());
}

// Thrown through the build when the user cancels; the build cleans up and reports it.
struct BatchCancelledError : std::runtime_error {
    BatchCancelledError() : std::runtime_error("cancelled") {}
};

}  // namespace

DropPlace DropPlaceAt(double xTwips, double yTwips, bool customizeOpen) {
    if (!customizeOpen) return DropPlace::Window;
    if (InRow(xTwips, yTwips, MainControl::iconLabel, MainControl::txtIcon,
              MainControl::cmdBrowseIcon)) {
        return DropPlace::IconBox;
    }
    if (InRow(xTwips, yTwips, MainControl::borderLabel, MainControl::txtBorder,
              MainControl::cmdBrowseBorder)) {
        return DropPlace::BorderBox;
    }
    return DropPlace::Window;
}

DroppedKind ClassifyDroppedFile(const std::string& path) {
    if (!files::FileExists(path)) return DroppedKind::Other;
    const std::string ext = Extension(path);
    if (ext == ".gba" || ext == ".agb") return DroppedKind::Rom;
    if (ext == ".bmp" || ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".gif") {
        return DroppedKind::Picture;
    }
    return DroppedKind::Other;
}

DropPlan PlanDrop(const std::vector<std::string>& paths, DropPlace place, bool customizeOpen,
                  bool building) {
    DropPlan plan;
    if (paths.empty()) return plan;
    const auto refuse = [&plan](const std::string& message) {
        plan.action = DropPlan::Action::Refuse;
        plan.message = message;
        return plan;
    };

    std::vector<std::string> roms;
    std::vector<std::string> pictures;
    for (const std::string& path : paths) {
        switch (ClassifyDroppedFile(path)) {
            case DroppedKind::Rom:
                roms.push_back(path);
                break;
            case DroppedKind::Picture:
                pictures.push_back(path);
                break;
            case DroppedKind::Other: {
                const std::string name = files::BaseName(path, "");
                const std::string why = files::FileExists(path)
                                            ? "it is neither a GBA ROM nor a picture"
                                            : "it is not a file";
                return refuse("Cannot use " + (name.empty() ? path : name) + ": " + why + ".\n" +
                              kWhatCanBeDropped);
            }
        }
    }
    if (!roms.empty() && !pictures.empty()) {
        // Pictures among ROMs are their icons, each named like its ROM.
        std::set<std::string> names;
        for (const std::string& rom : roms) names.insert(NameKey(RomName(rom)));
        for (const std::string& picture : pictures) {
            if (names.count(NameKey(files::BaseName(PictureName(picture), ""))) == 0)
                return refuse("The picture " + files::BaseName(picture, "") +
                              " is named like none of the GBA ROMs dropped with it; a ROM "
                              "takes as its icon a picture of its own name.\n" +
                              kWhatCanBeDropped);
        }
        plan.icons = pictures;
    }
    if (roms.size() == 1) {
        plan.action = DropPlan::Action::ChooseRom;
        plan.files = roms;
        return plan;
    }
    if (!roms.empty()) {
        if (building) {
            return refuse("A build is running. Drop the ROMs again when it has finished.");
        }
        plan.action = DropPlan::Action::BuildBatch;
        plan.files = roms;
        return plan;
    }
    if (pictures.size() > 1) {
        return refuse("Drop one picture at a time, onto the Icon or Border box.");
    }
    if (!customizeOpen || place == DropPlace::Window) {
        return refuse(
            "To use a picture, open \"Customize the NDS (+)\" and drop it onto the Icon or "
            "Border box.");
    }
    plan.action =
        place == DropPlace::IconBox ? DropPlan::Action::ChooseIcon : DropPlan::Action::ChooseBorder;
    plan.files = pictures;
    return plan;
}

std::vector<Job> RunDropBatch(const std::vector<std::string>& roms, const DropBatchWindow& window,
                              BatchProgress& progress, const std::string& appDir,
                              const ToolRunner& runner) {
    BatchSettings settings;
    settings.titleGiven = true;  // an empty line 1 stands for each ROM's name
    settings.titles[1] = window.titles[0];
    settings.titles[2] = window.titles[1];
    settings.icon = window.icon;
    settings.border = window.border;
    settings.compression = window.compression;
    for (const std::string& icon : window.icons) settings.icons.AddFile(icon);
    std::vector<Job> jobs;
    try {
        jobs = PlanBatch(roms, settings, appDir);
    } catch (const InputRefused& e) {
        throw std::runtime_error(std::string("None of the ROMs was built: ") + e.what());
    }
    ProgressObserver observer(progress, std::count_if(jobs.begin(), jobs.end(), [](const Job& j) {
                                  return j.state == JobState::Waiting;
                              }));
    const ToolRunner watched = [&](const std::string& commandLine, const std::string& workDir) {
        if (progress.BatchCancelled()) throw BatchCancelledError();
        return runner(commandLine, workDir);
    };
    RunBatch(jobs, settings, appDir, 1, observer,
             [&](const BuildRequest& request, const std::string& app) {
                 return Build(request, app, watched);
             });
    return jobs;
}

std::string BatchSummary(const std::vector<Job>& jobs) {
    std::size_t built = 0;
    std::string builtLines, failedLines, skippedLines;
    for (const Job& job : jobs) {
        const std::string name = files::BaseName(job.rom, "");
        switch (job.state) {
            case JobState::Built:
                ++built;
                builtLines += "  " + name + " -> " + job.output;
                if (!job.notice.empty()) builtLines += " (without PSRAM: larger than 16MB)";
                if (!job.titleNotice.empty()) builtLines += " (its name cut to fit the title)";
                builtLines += "\n";
                break;
            case JobState::UpToDate:  // a drop never asks for it
            case JobState::Interrupted:
            case JobState::Waiting:
                skippedLines += "  " + name + "\n";
                break;
            case JobState::Failed:
            case JobState::Skipped:
                failedLines += "  " + name + ": " + job.reason + "\n";
                break;
        }
    }
    std::string summary =
        "Built " + std::to_string(built) + " of " + std::to_string(jobs.size()) + " ROMs.\n";
    if (!builtLines.empty()) summary += "\nBuilt:\n" + builtLines;
    if (!failedLines.empty()) summary += "\nNot built:\n" + failedLines;
    if (!skippedLines.empty()) summary += "\nNot finished (cancelled):\n" + skippedLines;
    if (!summary.empty() && summary.back() == '\n') summary.pop_back();
    return summary;
}

}  // namespace pellix::app
