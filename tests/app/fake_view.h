// A main window and a preview window made of plain fields, recording what their logic does.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_logic.h"
#include "app/preview_logic.h"

namespace pellix::test {

// The preview's controls as fields, recording what its logic does.
class FakePreviewView : public app::PreviewView {
  public:
    explicit FakePreviewView(std::function<void()> unloaded = {})
        : unloaded_(std::move(unloaded)) {}

    app::TwipsSizeF outerSize{3255, 2160};
    // "move x,y", "picture picBG 191x47", "text lblTitle1=...", "visible note=0",
    // "client 4080x4695", "show", "forward", "discard"
    std::vector<std::string> log;
    std::map<app::PreviewControl, app::Image> pictures;
    std::map<app::PreviewControl, std::string> names;  // what a screen reader is told
    std::map<app::PreviewControl, app::Colour> colours;  // labels' text colours set
    bool discarded = false;

    // The user closes the window.
    void Close() {
        if (unloaded_) unloaded_();
    }

    app::TwipsSizeF OuterSize() override { return outerSize; }
    void MoveTo(double left, double top) override;
    void SetPicture(app::PreviewControl box, const app::Image& image) override;
    void SetText(app::PreviewControl label, const std::string& text) override;
    void SetTextColour(app::PreviewControl label, const app::Colour& colour) override {
        colours[label] = colour;
    }
    void SetAccessibleName(app::PreviewControl box, const std::string& name) override {
        names[box] = name;
    }
    void SetVisible(app::PreviewControl control, bool visible) override;
    // Grows the outer size with the client area, as a front end does.
    void SetClientSize(int widthTwips, int heightTwips) override;
    void Show() override { log.push_back("show"); }
    void BringForward() override { log.push_back("forward"); }
    void Discard() override;

  private:
    std::function<void()> unloaded_;
};

// The main window's controls as fields, started from the design's start state.
class FakeMainView : public app::MainWindowView {
  public:
    FakeMainView();

    std::map<app::MainControl, std::string> texts;
    std::map<app::MainControl, app::Check> checks;
    std::map<app::MainControl, bool> enabled;
    std::map<app::MainControl, bool> visible;
    std::map<app::MainControl, app::TwipsRect> rects;
    int outerHeight = 0;
    int clientHeight = 0;
    app::TwipsRectF outer{1500, 1200, 8655, 6540};
    int focus = app::kWindow;

    // What the choosers answer, and what they were asked.
    std::string nextFile;
    std::string nextFolder;
    std::vector<app::FileDialogRequest> fileRequests;
    std::vector<app::FolderDialogRequest> folderRequests;
    int cancelChoosers = 0;
    int closeWindow = 0;
    std::vector<std::string> messages;
    // The preview windows made, in order.
    std::vector<std::shared_ptr<FakePreviewView>> previews;
    // Every change the logic made, in order ("text txtROM=...", "place cmdGo", "height").
    std::vector<std::string> log;
    // Batch progress: steps shown, and whether to cancel once a given step has been shown.
    std::vector<std::string> batch;
    std::size_t cancelAfterStep = static_cast<std::size_t>(-1);

    std::function<void()> duringChooser;  // runs while a chooser is "open"
    std::function<void()> duringMessage;  // runs while a message is up

    std::string Text(app::MainControl control) override { return texts[control]; }
    void SetText(app::MainControl control, const std::string& text) override;
    app::Check CheckValue(app::MainControl control) override { return checks[control]; }
    void SetCheckValue(app::MainControl control, app::Check value) override;
    void SetEnabled(app::MainControl control, bool on) override;
    void SetVisible(app::MainControl control, bool on) override;
    void Place(app::MainControl control, const app::TwipsRect& rect) override;
    void SetWindowHeight(int outerTwips, int clientTwips) override;
    app::TwipsRectF OuterGeometry() override { return outer; }
    void SetFocus(app::MainControl control) override { focus = static_cast<int>(control); }
    void ShowMessage(const std::string& text) override;
    std::string OpenFile(const app::FileDialogRequest& request) override;
    std::string BrowseFolder(const app::FolderDialogRequest& request) override;
    void CancelChoosers() override { ++cancelChoosers; }
    void CloseWindow() override { ++closeWindow; }
    void SetBusy(bool on) override { log.push_back(on ? "busy" : "not busy"); }
    app::PreviewView* CreatePreview(std::function<void()> unloaded) override;
    void BatchStarted(std::size_t count) override;
    void BatchStep(std::size_t index, std::size_t count, const std::string& rom) override;
    bool BatchCancelled() override;
    void BatchFinished() override { batch.push_back("finished"); }
};

}  // namespace pellix::test
