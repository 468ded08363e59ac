// The preview's load: its place over the main window, its pictures and its title lines.
#include "preview_logic.h"

#include <exception>

#include "app_directory.h"
#include "modio.h"

namespace pellix::app {

TwipsPointF PreviewPosition(const TwipsRectF& mainOuter, const TwipsSizeF& previewOuter) {
    // Halves are kept: the front end rounds once, when it sets the position.
    return {mainOuter.width / 2 - previewOuter.width / 2 + mainOuter.left,
            mainOuter.height / 2 - previewOuter.height / 2 + mainOuter.top};
}

std::string PreviewIconFile(const std::string& customizeCaption, const std::string& iconText,
                            const std::string& appDir) {
    // Both tests are made every time, so a failing existence test is never skipped.
    const bool unfolded = customizeCaption.find('-') != std::string::npos;
    const bool exists = modIO::PathExists(iconText);
    return unfolded && exists ? iconText : appDir + "/gfx/icon.bmp";
}

std::string PictureLoadMessage(const std::string& path, const std::string& reason) {
    return "Cannot load the picture " + path + ": " + reason;
}

void PreviewLogic::Load(const PreviewFacts& facts) {
    const TwipsPointF corner = PreviewPosition(facts.mainOuter, view_.OuterSize());
    view_.MoveTo(corner.x, corner.y);

    const std::string appDir = ApplicationDirectory();
    const auto load = [this](PreviewControl box, const std::string& path) {
        const std::string reason = view_.LoadPicture(box, path);
        if (!reason.empty()) throw PreviewPictureError{PictureLoadMessage(path, reason)};
    };
    load(PreviewControl::picBG, appDir + "/gfx/preview.bmp");

    const std::string iconFile = PreviewIconFile(facts.customizeCaption, facts.iconText, appDir);

    view_.SetText(PreviewControl::lblTitle1, facts.titles[0]);
    view_.SetText(PreviewControl::lblTitle2, facts.titles[1]);
    view_.SetText(PreviewControl::lblTitle3, facts.titles[2]);

    load(PreviewControl::picIcon, iconFile);
}

bool PreviewLogic::LoadOrReport(const PreviewFacts& facts) {
    try {
        Load(facts);
        return true;
    } catch (const PreviewPictureError& error) {
        view_.ShowMessage(error.message);
    } catch (const std::exception& error) {
        view_.ShowMessage(error.what());
    }
    return false;
}

}  // namespace pellix::app
