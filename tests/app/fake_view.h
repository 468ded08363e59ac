// A main window and a preview window made of plain fields, recording what their logic does.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "main_window_logic.h"
#include "preview_logic.h"

namespace pellix::test {

// The main window's controls as fields, started from the design's start state.
class FakeMainView : public app::MainWindowView {
  public:
    FakeMainView();

    std::map<app::MainControl, std::string> texts;
    std::map<app::MainControl, int> checks;
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
    std::vector<app::PreviewFacts> previews;
    // Every change the logic made, in order ("text txtROM=...", "place cmdGo", "height").
    std::vector<std::string> log;
    // Batch progress: steps shown, and whether to cancel once a given step has been shown.
    std::vector<std::string> batch;
    std::size_t cancelAfterStep = static_cast<std::size_t>(-1);

    std::function<void()> duringChooser;  // runs while a chooser is "open"
    std::function<void()> duringMessage;  // runs while a message is up

    std::string Text(app::MainControl control) override { return texts[control]; }
    void SetText(app::MainControl control, const std::string& text) override;
    int CheckValue(app::MainControl control) override { return checks[control]; }
    void SetCheckValue(app::MainControl control, int value) override;
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
    void ShowPreview(const app::PreviewFacts& facts) override { previews.push_back(facts); }
    void BatchStarted(std::size_t count) override;
    void BatchStep(std::size_t index, std::size_t count, const std::string& rom) override;
    bool BatchCancelled() override;
    void BatchFinished() override { batch.push_back("finished"); }
};

// The preview's controls as fields; pictures "load" when a file exists at the path.
class FakePreviewView : public app::PreviewView {
  public:
    app::TwipsSizeF outerSize{3255, 2160};
    std::vector<std::string> log;  // "move x,y", "picture picBG path", "text lblTitle1=..."
    std::map<std::string, std::string> failing;  // path -> reason the load gives
    std::vector<std::string> messages;
    bool drawsIcons = true;  // whether ShowIcon can show the package's icon
    app::IconImage icon;     // the last one shown
    bool drawsBorders = true;
    app::BorderImage border;  // the last one shown

    app::TwipsSizeF OuterSize() override { return outerSize; }
    void MoveTo(double left, double top) override;
    std::string LoadPicture(app::PreviewControl box, const std::string& path) override;
    void SetText(app::PreviewControl label, const std::string& text) override;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool ShowIcon(const app::IconImage& image) override;
    // Grows the outer size by the border's client area, as a front end does.
    bool ShowBorder(const app::BorderImage& image) override;
};

}  // namespace pellix::test
