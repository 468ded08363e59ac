// Dropped files: classification, the rules of a drop, and the batch build of several ROMs.
#include "drop_logic.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "main_window_logic.h"
#include "modio.h"
#include "rom_choice.h"
#include "window_layout.h"

namespace pellix::app {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The name's extension with its dot, in lower case; "" when it has none.
std::string Extension(const std::string& path) {
    const std::string name = modIO::BaseName(path, "");
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
    "another, or a picture (.bmp, .png, .jpg, .gif) onto the Icon or Border box.";

// Reads settings for one ROM of a batch: the ROM's own choice where choosing it would set a
// control, the window for the rest. Messages are kept for the summary instead of shown.
class BatchSource : public SettingsSource {
  public:
    BatchSource(const RomChoice& choice, SettingsSource& window)
        : choice_(choice), window_(window) {}

    std::string RomPath() override { return choice_.romPath; }
    std::string OutputFolder() override { return choice_.outputFolder; }
    std::string Title(int line) override {
        return line == 1 ? choice_.title1 : window_.Title(line);
    }
    std::string IconFile() override { return window_.IconFile(); }
    std::string BorderFile() override { return window_.BorderFile(); }
    bool CustomizeOpen() override { return window_.CustomizeOpen(); }
    int PsramValue() override { return choice_.psramAllowed ? 1 : 0; }
    int CompressionValue() override { return window_.CompressionValue(); }
    void SetGoEnabled(bool) override {}  // the batch holds "Go..." off throughout
    void ShowMessage(const std::string& text) override {
        if (text != kComplete) failure_ = text;
    }
    const std::string& failure() const { return failure_; }

  private:
    const RomChoice& choice_;
    SettingsSource& window_;
    std::string failure_;
};

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
    if (!modIO::PathExists(path)) return DroppedKind::Other;
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
                const std::string name = modIO::BaseName(path, "");
                const std::string why = modIO::PathExists(path)
                                            ? "it is neither a GBA ROM nor a picture"
                                            : "it is not a file";
                return refuse("Cannot use " + (name.empty() ? path : name) + ": " + why + ".\n" +
                              kWhatCanBeDropped);
            }
        }
    }
    if (!roms.empty() && !pictures.empty()) {
        return refuse(std::string("GBA ROMs and pictures were dropped together.\n") +
                      kWhatCanBeDropped);
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

std::vector<BatchOutcome> RunBatch(const std::vector<std::string>& roms, SettingsSource& window,
                                   BatchProgress& progress, const std::string& appDir,
                                   const ToolRunner& runner) {
    std::vector<BatchOutcome> outcomes;
    window.SetGoEnabled(false);
    bool cancelled = false;
    const ToolRunner watched = [&](const std::string& commandLine, const std::string& workDir) {
        if (progress.BatchCancelled()) {
            cancelled = true;
            throw BatchCancelledError();
        }
        return runner(commandLine, workDir);
    };
    for (std::size_t i = 0; i < roms.size(); ++i) {
        BatchOutcome outcome;
        outcome.rom = roms[i];
        if (cancelled || progress.BatchCancelled()) {
            cancelled = true;
            outcome.skipped = true;
            outcomes.push_back(outcome);
            continue;
        }
        progress.BatchStep(i, roms.size(), roms[i]);
        const RomChoice choice = ChooseRom(roms[i]);
        outcome.psramOff = !choice.psramAllowed;
        BatchSource source(choice, window);
        outcome.built = RunBuild(source, appDir, watched);
        if (outcome.built) {
            outcome.package = OutputPath(choice.outputFolder, choice.romPath);
        } else if (cancelled) {
            outcome.message = "cancelled";
        } else if (!source.failure().empty()) {
            outcome.message = source.failure();
        } else {
            outcome.message = "another build was running";
        }
        outcomes.push_back(outcome);
    }
    window.SetGoEnabled(true);
    return outcomes;
}

std::string BatchSummary(const std::vector<BatchOutcome>& outcomes) {
    std::size_t built = 0;
    std::string builtLines, failedLines, skippedLines;
    for (const BatchOutcome& outcome : outcomes) {
        const std::string name = modIO::BaseName(outcome.rom, "");
        if (outcome.built) {
            ++built;
            builtLines += "  " + name + " -> " + outcome.package;
            if (outcome.psramOff) builtLines += " (without PSRAM: larger than 16MB)";
            builtLines += "\n";
        } else if (outcome.skipped) {
            skippedLines += "  " + name + "\n";
        } else {
            failedLines += "  " + name + ": " + outcome.message + "\n";
        }
    }
    std::string summary =
        "Built " + std::to_string(built) + " of " + std::to_string(outcomes.size()) + " ROMs.\n";
    if (!builtLines.empty()) summary += "\nBuilt:\n" + builtLines;
    if (!failedLines.empty()) summary += "\nFailed:\n" + failedLines;
    if (!skippedLines.empty()) summary += "\nNot started (cancelled):\n" + skippedLines;
    if (!summary.empty() && summary.back() == '\n') summary.pop_back();
    return summary;
}

}  // namespace pellix::app
