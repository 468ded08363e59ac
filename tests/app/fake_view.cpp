// A main window and a preview window made of plain fields, recording what their logic does.
#include "fake_view.h"

#include <sstream>

namespace pellix::test {

using app::MainControl;

namespace {

std::string Name(MainControl control) {
    return app::Spec(control).name;
}
std::string Name(app::PreviewControl control) {
    return app::Spec(control).name;
}

}  // namespace

FakeMainView::FakeMainView() {
    const app::WindowSpec& design = app::MainWindowSpec();
    for (std::size_t i = 0; i < design.controlCount; ++i) {
        const app::ControlSpec& spec = design.controls[i];
        const auto control = static_cast<MainControl>(spec.id);
        texts[control] = spec.caption;
        checks[control] = spec.checkValue;
        enabled[control] = spec.enabled;
        visible[control] = spec.visible;
        rects[control] = spec.rect;
    }
    clientHeight = design.clientHeight;
    outerHeight = app::kPanelFolded.outerHeight;
}

void FakeMainView::SetText(MainControl control, const std::string& text) {
    texts[control] = text;
    log.push_back("text " + Name(control) + "=" + text);
}

void FakeMainView::SetCheckValue(MainControl control, int value) {
    checks[control] = value;
    log.push_back("check " + Name(control) + "=" + std::to_string(value));
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

void FakePreviewView::MoveTo(double left, double top) {
    std::ostringstream line;
    line << "move " << left << "," << top;
    log.push_back(line.str());
}

std::string FakePreviewView::LoadPicture(app::PreviewControl box, const std::string& path) {
    log.push_back("picture " + Name(box) + " " + path);
    const auto it = failing.find(path);
    return it == failing.end() ? "" : it->second;
}

void FakePreviewView::SetText(app::PreviewControl label, const std::string& text) {
    log.push_back("text " + Name(label) + "=" + text);
}

bool FakePreviewView::ShowIcon(const app::IconImage& image) {
    if (!drawsIcons) return false;
    icon = image;
    log.push_back("icon " + std::to_string(image.width) + "x" + std::to_string(image.height));
    return true;
}

bool FakePreviewView::ShowBorder(const app::BorderImage& image) {
    if (!drawsBorders) return false;
    border = image;
    const app::WindowSpec& design = app::PreviewWindowSpec();
    outerSize.width += app::kPreviewBorderClientWidth - design.clientWidth;
    outerSize.height += app::kPreviewBorderClientHeight - design.clientHeight;
    log.push_back("border " + std::to_string(image.width) + "x" + std::to_string(image.height));
    return true;
}

}  // namespace pellix::test
