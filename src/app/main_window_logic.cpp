// The main window's handlers over its view: choosers, ROM rules, panel, build and closing.
#include "app/main_window_logic.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "builder/app_directory.h"
#include "builder/rom_choice.h"
#include "builder/standin_check.h"

namespace pellix::app {

MainWindowLogic::MainWindowLogic(MainWindowView& view)
    : view_(view),
      alive_(std::make_shared<bool>(true)),
      preview_(std::make_unique<PreviewSlot>([&view](std::function<void()> unloaded) {
          return view.CreatePreview(std::move(unloaded));
      })) {}

MainWindowLogic::~MainWindowLogic() {
    *alive_ = false;
}

void MainWindowLogic::SetToolRunner(ToolRunner runner) {
    runner_ = std::move(runner);
}

template <typename Body>
void MainWindowLogic::Guarded(Body&& body) {
    // Held outside the try: when the body returns because the window was destroyed, the
    // catch must not reach a view that no longer exists.
    const std::shared_ptr<bool> alive = alive_;
    try {
        body();
    } catch (const std::exception& error) {
        if (*alive) view_.ShowMessage(error.what());
    }
}

void MainWindowLogic::Start() {
    const int first = StartFocus(MainWindowDesign());
    if (first != kWindow) view_.SetFocus(static_cast<MainControl>(first));
}

void MainWindowLogic::OnShown() {
    closed_ = false;
}

template <typename Ask>
bool MainWindowLogic::AskChooser(Ask&& ask, std::string& answer) {
    const std::shared_ptr<bool> alive = alive_;
    choosing_ = true;
    try {
        answer = ask();
    } catch (...) {
        if (*alive) choosing_ = false;
        throw;
    }
    // The file chooser has no owner: the window may have been closed, or destroyed, meanwhile.
    if (!*alive) return false;
    choosing_ = false;
    return !closed_;
}

void MainWindowLogic::OnBrowseRom() {
    // A second chooser inside the first would answer for a row the first then overwrites.
    if (choosing_) return;
    Guarded([this] {
        std::string path;
        const auto ask = [this] {
            return view_.OpenFile(FileDialogFor(FileChooser::Rom, ApplicationDirectory()));
        };
        if (AskChooser(ask, path)) ChooseRom(path);
    });
}

void MainWindowLogic::OnBrowseIcon() {
    if (choosing_) return;
    Guarded([this] {
        std::string path;
        const auto ask = [this] {
            return view_.OpenFile(FileDialogFor(FileChooser::Icon, ApplicationDirectory()));
        };
        if (AskChooser(ask, path)) ChooseIcon(path);
    });
}

void MainWindowLogic::OnBrowseBorder() {
    if (choosing_) return;
    Guarded([this] {
        std::string path;
        const auto ask = [this] {
            return view_.OpenFile(FileDialogFor(FileChooser::Border, ApplicationDirectory()));
        };
        if (AskChooser(ask, path)) ChooseBorder(path);
    });
}

void MainWindowLogic::OnBrowseFolder() {
    if (choosing_) return;
    Guarded([this] {
        std::string folder;
        const auto ask = [this] { return view_.BrowseFolder(OutputFolderDialog()); };
        if (AskChooser(ask, folder)) view_.SetText(MainControl::txtOutput, folder);
    });
}

void MainWindowLogic::ChooseRom(const std::string& path) {
    const RomChoice choice = pellix::ChooseRom(path);
    view_.SetText(MainControl::txtROM, choice.romPath);
    view_.SetText(MainControl::txtOutput, choice.outputFolder);
    view_.SetText(MainControl::txtTitle1, choice.title1);
    // Enabled even while a build runs; OnGo then refuses to start a second one.
    view_.SetEnabled(MainControl::cmdGo, true);
    if (!choice.psramAllowed) {
        // The message comes first; PSRAM is withdrawn once it has been dismissed.
        const std::shared_ptr<bool> alive = alive_;
        view_.ShowMessage(kRomTooLarge);
        if (!*alive) return;
        view_.SetEnabled(MainControl::chkPSRAM, false);
        view_.SetCheckValue(MainControl::chkPSRAM, Check::Unchecked);
    } else {
        view_.SetEnabled(MainControl::chkPSRAM, true);
        view_.SetCheckValue(MainControl::chkPSRAM, Check::Checked);
    }
}

void MainWindowLogic::ChooseIcon(const std::string& path) {
    view_.SetText(MainControl::txtIcon, path);
}

void MainWindowLogic::ChooseBorder(const std::string& path) {
    view_.SetText(MainControl::txtBorder, path);
}

void MainWindowLogic::OnGo() {
    // A build started under an open chooser would read a row the chooser is about to fill.
    if (building_ || choosing_) return;
    const std::shared_ptr<bool> alive = alive_;
    building_ = true;
    if (!TellStandInsOnce()) return;
    SetGoEnabled(false);
    Guarded([this, alive] {
        const BuildResult result = Build(ReadBuildRequest(), ApplicationDirectory(), runner_);
        if (!*alive) return;
        // Whoever asked to close during the build is not kept waiting for a success box;
        // failures are still told.
        if (!(closeRequested_ && result.kind == BuildOutcome::Delivered))
            view_.ShowMessage(result.message);
    });
    if (!*alive) return;
    SetGoEnabled(true);
    building_ = false;
    if (closeRequested_) {
        closeRequested_ = false;
        view_.CloseWindow();
    }
}

namespace {

// The view's progress dialog as the batch sees it.
class ViewProgress : public BatchProgress {
  public:
    explicit ViewProgress(MainWindowView& view) : view_(view) {}
    void BatchStep(std::size_t index, std::size_t count, const std::string& rom) override {
        view_.BatchStep(index, count, rom);
    }
    bool BatchCancelled() override { return view_.BatchCancelled(); }

  private:
    MainWindowView& view_;
};

}  // namespace

void MainWindowLogic::OnDrop(const std::vector<std::string>& paths, DropPlace place) {
    Guarded([&] {
        const DropPlan plan = PlanDrop(paths, place, customizeOpen_, building_);
        switch (plan.action) {
            case DropPlan::Action::None:
                break;
            case DropPlan::Action::ChooseRom:
                ChooseRom(plan.files.front());
                // Its picture is its icon, which counts only with the panel open.
                if (!plan.icons.empty()) {
                    if (!customizeOpen_) OnCustomize();
                    ChooseIcon(plan.icons.front());
                }
                break;
            case DropPlan::Action::ChooseIcon:
                ChooseIcon(plan.files.front());
                break;
            case DropPlan::Action::ChooseBorder:
                ChooseBorder(plan.files.front());
                break;
            case DropPlan::Action::BuildBatch:
                BuildBatch(plan.files, plan.icons);
                break;
            case DropPlan::Action::Refuse:
                view_.ShowMessage(plan.message);
                break;
        }
    });
}

bool MainWindowLogic::TellStandInsOnce() {
    if (standInsChecked_) return true;
    standInsChecked_ = true;
    const std::string warning = StandInNotice(ApplicationDirectory());
    if (warning.empty()) return true;
    // Packages built with the stand-ins do nothing on a DS; the user hears it before the
    // first one, and may still build (to try the tool out).
    const std::shared_ptr<bool> alive = alive_;
    view_.ShowMessage(warning);
    return *alive;
}

void MainWindowLogic::BuildBatch(const std::vector<std::string>& roms,
                                 const std::vector<std::string>& icons) {
    const std::shared_ptr<bool> alive = alive_;
    building_ = true;
    if (!TellStandInsOnce()) return;
    view_.BatchStarted(roms.size());
    ViewProgress progress(view_);
    std::vector<Job> jobs;
    view_.SetEnabled(MainControl::cmdGo, false);
    try {
        DropBatchWindow window;
        window.titles[0] = view_.Text(MainControl::txtTitle2);
        window.titles[1] = view_.Text(MainControl::txtTitle3);
        if (customizeOpen_) {
            window.icon = view_.Text(MainControl::txtIcon);
            window.border = view_.Text(MainControl::txtBorder);
        }
        window.compression = view_.CheckValue(MainControl::chkCompression) == Check::Checked;
        window.icons = icons;
        jobs = RunDropBatch(roms, window, progress, ApplicationDirectory(), runner_);
    } catch (...) {
        if (*alive) {
            building_ = false;
            view_.SetEnabled(MainControl::cmdGo, true);
            view_.BatchFinished();
        }
        throw;
    }
    if (!*alive) return;
    building_ = false;
    view_.SetEnabled(MainControl::cmdGo, true);
    view_.BatchFinished();
    // Whoever asked to close meanwhile hears only of failures.
    if (!closeRequested_ || ExitStatus(jobs) != 0) view_.ShowMessage(BatchSummary(jobs));
    if (closeRequested_ && *alive) {
        closeRequested_ = false;
        view_.CloseWindow();
    }
}

PreviewFacts MainWindowLogic::ReadPreviewFacts() {
    PreviewFacts facts;
    facts.mainOuter = view_.OuterGeometry();
    facts.customizeCaption = view_.Text(MainControl::cmdCustomize);
    facts.iconText = view_.Text(MainControl::txtIcon);
    facts.titles[0] = view_.Text(MainControl::txtTitle1);
    facts.titles[1] = view_.Text(MainControl::txtTitle2);
    facts.titles[2] = view_.Text(MainControl::txtTitle3);
    facts.borderText = view_.Text(MainControl::txtBorder);
    return facts;
}

void MainWindowLogic::OnPreview() {
    Guarded([this] { preview_->Open(ReadPreviewFacts()); });
}

void MainWindowLogic::OnCustomize() {
    if (customizeOpen_) {
        ApplyPanel(kPanelFolded);
        customizeOpen_ = false;
    } else {
        ApplyPanel(kPanelUnfolded);
        customizeOpen_ = true;
    }
}

void MainWindowLogic::ApplyPanel(const PanelLayout& layout) {
    // The seven changes of a fold or unfold, in their order.
    TwipsRect go = Design(MainControl::cmdGo).rect;
    go.top = layout.goTop;
    view_.Place(MainControl::cmdGo, go);
    TwipsRect banner = Design(MainControl::bottomBanner).rect;
    banner.top = layout.bottomBannerTop;
    view_.Place(MainControl::bottomBanner, banner);
    TwipsRect frame = Design(MainControl::fraCustom).rect;
    frame.height = layout.customHeight;
    view_.Place(MainControl::fraCustom, frame);
    TwipsRect shape = Design(MainControl::customOutline).rect;
    shape.height = layout.customHeight;
    view_.Place(MainControl::customOutline, shape);
    view_.SetWindowHeight(layout.outerHeight, layout.clientHeight);
    view_.SetText(MainControl::cmdCustomize, layout.caption);
    view_.SetVisible(MainControl::customHint, layout.noteShown);
}

bool MainWindowLogic::OnCloseRequested() {
    if (building_) {
        // The build still reads the controls and must deliver and clean up; the window
        // closes when it has ended.
        closeRequested_ = true;
        return false;
    }
    closed_ = true;
    view_.CancelChoosers();
    return true;
}

BuildRequest MainWindowLogic::ReadBuildRequest() {
    BuildRequest request;
    request.rom = RomPath();
    request.outputFolder = OutputFolder();
    for (int line = 1; line <= 3; ++line) request.titles[line - 1] = Title(line);
    // Custom pictures count only while the panel is open.
    if (customizeOpen_) {
        request.icon = IconFile();
        request.border = BorderFile();
    }
    // A check box counts as on only when checked (1); greyed (2) is off.
    request.psram = view_.CheckValue(MainControl::chkPSRAM) == Check::Checked;
    request.compression = view_.CheckValue(MainControl::chkCompression) == Check::Checked;
    return request;
}

std::string MainWindowLogic::RomPath() {
    return view_.Text(MainControl::txtROM);
}
std::string MainWindowLogic::OutputFolder() {
    return view_.Text(MainControl::txtOutput);
}

std::string MainWindowLogic::Title(int line) {
    switch (line) {
        case 1:
            return view_.Text(MainControl::txtTitle1);
        case 2:
            return view_.Text(MainControl::txtTitle2);
        case 3:
            return view_.Text(MainControl::txtTitle3);
        default:
            return "";
    }
}

std::string MainWindowLogic::IconFile() {
    return view_.Text(MainControl::txtIcon);
}
std::string MainWindowLogic::BorderFile() {
    return view_.Text(MainControl::txtBorder);
}
int MainWindowLogic::PsramValue() {
    return static_cast<int>(view_.CheckValue(MainControl::chkPSRAM));
}
int MainWindowLogic::CompressionValue() {
    return static_cast<int>(view_.CheckValue(MainControl::chkCompression));
}
void MainWindowLogic::SetGoEnabled(bool enabled) {
    view_.SetEnabled(MainControl::cmdGo, enabled);
}
void MainWindowLogic::ShowMessage(const std::string& text) {
    view_.ShowMessage(text);
}

}  // namespace pellix::app
