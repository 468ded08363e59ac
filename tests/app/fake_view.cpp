// A main window and a preview window made of plain fields, recording what their logic does.
#include "fake_view.h"

#include <sstream>

namespace pellix::test {

using app::MainControl;

namespace {

std::string Name(MainControl control) {
    return app::Design(control).name;
}
std::string Name(app::PreviewControl control) {
    return app::Design(control).name;
}

}  // namespace

FakeMainView::FakeMainView() {
    const app::WindowDesign& design = app::MainWindowDesign();
    for (std::size_t i = 0; i < design.controlCount; ++i) {
        const app::ControlDesign& row = design.controls[i];
        const auto control = static_cast<MainControl>(row.id);
        texts[control] = row.caption;
        checks[control] = row.checkValue;
        enabled[control] = row.enabled;
        visible[control] = row.visible;
        rects[control] = row.rect;
    }
    clientHeight = design.clientHeight;
    outerHeight = app::kPanelFolded.outerHeight;
}

void FakeMainView::SetText(MainControl control, const std::string& text) {
    texts[control] = text;
    log.push_back("text " + Name(control) + "=" + text);
}

void FakeMainView::SetCheckValue(MainControl control, app::Check value) {
    checks[control] = value;
    log.push_back("check " + Name(control) + "=" + std::to_string(static_cast<int>(value)));
}

void FakeMainView::SetEnabled(MainControl control, bool on) {
    enabled[control] = on;
    log.push_back((on ? "enable " : "disable ") + Name(control));
}

void FakeMainView::SetVisible(MainControl control, bool on) {
    visible[control] = on;
    log.push_back((on ? "show " : "hide ") + Name(control));
}

void FakeMainView::Place(MainControl control, const app::TwipsRect& rect) {
    rects[control] = rect;
    log.push_back("place " + Name(control));
}

void FakeMainView::SetWindowHeight(int outerTwips, int clientTwips) {
    outerHeight = outerTwips;
    clientHeight = clientTwips;
    log.push_back("height");
}

void FakeMainView::ShowMessage(const std::string& text) {
    messages.push_back(text);
    log.push_back("message");
    if (duringMessage) duringMessage();
}

std::string FakeMainView::OpenFile(const app::FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (duringChooser) duringChooser();
    return nextFile;
}

std::string FakeMainView::BrowseFolder(const app::FolderDialogRequest& request) {
    folderRequests.push_back(request);
    if (duringChooser) duringChooser();
    return nextFolder;
}

void FakeMainView::BatchStarted(std::size_t count) {
    batch.push_back("started " + std::to_string(count));
}

void FakeMainView::BatchStep(std::size_t index, std::size_t count, const std::string& rom) {
    batch.push_back(std::to_string(index + 1) + "/" + std::to_string(count) + " " + rom);
}

bool FakeMainView::BatchCancelled() {
    // Steps shown so far, "started" not counted.
    return batch.size() > cancelAfterStep;
}

app::PreviewView* FakeMainView::CreatePreview(std::function<void()> unloaded) {
    previews.push_back(std::make_shared<FakePreviewView>(std::move(unloaded)));
    return previews.back().get();
}

void FakePreviewView::MoveTo(double left, double top) {
    std::ostringstream line;
    line << "move " << left << "," << top;
    log.push_back(line.str());
}

void FakePreviewView::SetPicture(app::PreviewControl box, const app::Image& image) {
    pictures[box] = image;
    log.push_back("picture " + Name(box) + " " + std::to_string(image.width) + "x" +
                  std::to_string(image.height));
}

void FakePreviewView::SetText(app::PreviewControl label, const std::string& text) {
    log.push_back("text " + Name(label) + "=" + text);
}

void FakePreviewView::SetVisible(app::PreviewControl control, bool visible) {
    log.push_back("visible " + Name(control) + "=" + (visible ? "1" : "0"));
}

void FakePreviewView::SetClientSize(int widthTwips, int heightTwips) {
    const app::WindowDesign& design = app::PreviewWindowDesign();
    outerSize.width += widthTwips - design.clientWidth;
    outerSize.height += heightTwips - design.clientHeight;
    log.push_back("client " + std::to_string(widthTwips) + "x" + std::to_string(heightTwips));
}

void FakePreviewView::Discard() {
    discarded = true;
    log.push_back("discard");
    Close();
}

}  // namespace pellix::test
