// The preview's load: its place over the main window, its pictures and its title lines.
#include "preview_logic.h"

#include <exception>

#include "app_directory.h"
#include "border_picture.h"
#include "file_bytes.h"
#include "format_error.h"
#include "menu_icon.h"
#include "staging_files.h"
#include "picture.h"

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
    const bool exists = files::FileExists(iconText);
    return unfolded && exists ? iconText : appDir + "/gfx/icon.bmp";
}

IconImage PackageIcon(const std::string& iconFile) {
    IconImage image;
    try {
        // The same conversion the build stages for ndstool.
        const formats::MenuIcon icon = formats::ReadMenuIconFile(iconFile);
        const std::vector<formats::Rgba8> pixels = formats::MenuIconRgba(icon.picture);
        image.rgba.reserve(pixels.size() * 4);
        for (const formats::Rgba8& pixel : pixels) {
            image.rgba.insert(image.rgba.end(), {pixel.r, pixel.g, pixel.b, pixel.a});
        }
    } catch (const std::exception& error) {
        throw PreviewPictureError{PictureLoadMessage(iconFile, error.what())};
    }
    return image;
}

bool CustomBorderFile(const std::string& customizeCaption, const std::string& borderText) {
    return customizeCaption.find('-') != std::string::npos && files::FileExists(borderText);
}

BorderImage PackageBorder(const std::string& borderFile) {
    BorderImage image;
    try {
        // The same border the build stages for grit.
        const std::vector<std::uint8_t> bytes =
            formats::ReadFileBytes(borderFile, formats::kMaxPictureFileSize);
        const formats::BorderPicture border =
            formats::MakeBorderPicture(bytes.data(), bytes.size());
        const formats::Picture screen =
            formats::ReadPicture(border.file.data(), border.file.size());
        if (screen.width != image.width || screen.height != image.height) {
            throw formats::FormatError("not " + std::to_string(image.width) + " x " +
                                       std::to_string(image.height) + " pixels");
        }
        image.rgb.reserve(screen.pixels.size() * 3);
        // The DS keeps five bits of each channel; widen them back as its screen shows them.
        const auto ds = [](std::uint8_t value) {
            const int five = value >> 3;
            return static_cast<std::uint8_t>((five << 3) | (five >> 2));
        };
        for (const formats::Rgb8& pixel : screen.pixels) {
            image.rgb.insert(image.rgb.end(), {ds(pixel.r), ds(pixel.g), ds(pixel.b)});
        }
    } catch (const std::exception& error) {
        throw PreviewPictureError{PictureLoadMessage(borderFile, error.what())};
    }
    return image;
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

    if (!view_.ShowIcon(PackageIcon(iconFile))) load(PreviewControl::picIcon, iconFile);

    if (CustomBorderFile(facts.customizeCaption, facts.borderText) &&
        view_.ShowBorder(PackageBorder(facts.borderText))) {
        const TwipsPointF centred = PreviewPosition(facts.mainOuter, view_.OuterSize());
        view_.MoveTo(centred.x, centred.y);
    }
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
