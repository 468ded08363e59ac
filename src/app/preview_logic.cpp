// The preview's life and load: its place over the main window, its pictures and title lines.
#include "app/preview_logic.h"

#include <exception>
#include <utility>

#include "builder/app_directory.h"
#include "formats/border_picture.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/menu_icon.h"
#include "builder/staging_files.h"
#include "builder/title_width.h"
#include "formats/picture.h"

namespace pellix::app {

namespace {

constexpr std::uint8_t kOpaque = 255;

// Runs `read`, turning any failure into the preview's message naming `path`.
template <typename Read>
Image Reading(const std::string& path, Read&& read) {
    try {
        return read();
    } catch (const std::exception& error) {
        throw PreviewPictureError(PictureLoadMessage(path, error.what()));
    }
}

Image ImageOf(const formats::Picture& picture) {
    Image image;
    image.width = picture.width;
    image.height = picture.height;
    image.rgba.reserve(picture.pixels.size() * 4);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const formats::Rgb8& p = picture.pixels[i];
        // Partly clear pixels count as there: a picture box shows no blend.
        const std::uint8_t alpha = picture.hasAlpha() && picture.alpha[i] == 0 ? 0 : kOpaque;
        image.rgba.insert(image.rgba.end(), {p.r, p.g, p.b, alpha});
    }
    return image;
}

// A twips length of the design in picture pixels (15 twips each).
int DesignPixels(int twips) {
    return twips / kTwipsPerPixelAt96Dpi;
}

// The menu entry in words: the title lines that hold text, then the icon.
std::string SpokenEntry(const std::string (&titles)[3], const std::string& icon) {
    std::string lines;
    for (const std::string& line : titles) {
        if (line.empty()) continue;
        if (!lines.empty()) lines += "; ";
        lines += line;
        if (!TitleLineFits(line)) lines += " (cut on the DS)";
    }
    return "DS menu entry, title: " + (lines.empty() ? "none" : lines) + ", icon: " + icon;
}

}  // namespace

std::string PictureLoadMessage(const std::string& path, const std::string& reason) {
    return "Cannot load the picture " + path + ": " + reason;
}

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

bool CustomBorderFile(const std::string& customizeCaption, const std::string& borderText) {
    return customizeCaption.find('-') != std::string::npos && files::FileExists(borderText);
}

Image ReadPreviewPicture(const std::string& path) {
    return Reading(path, [&] { return ImageOf(formats::ReadPictureFile(path)); });
}

Image PackageIcon(const std::string& iconFile) {
    return Reading(iconFile, [&] {
        // The same conversion the build stages for ndstool.
        const formats::MenuIcon icon = formats::ReadMenuIconFile(iconFile);
        Image image;
        image.width = icon.picture.width;
        image.height = icon.picture.height;
        for (const formats::Rgba8& pixel : formats::MenuIconRgba(icon.picture))
            image.rgba.insert(image.rgba.end(), {pixel.r, pixel.g, pixel.b, pixel.a});
        return image;
    });
}

Image IconOverBackground(const Image& icon, const Image& background, int dx, int dy) {
    Image out = icon;
    for (int y = 0; y < icon.height; ++y) {
        for (int x = 0; x < icon.width; ++x) {
            std::uint8_t* p = &out.rgba[(static_cast<std::size_t>(y) * icon.width + x) * 4];
            const int bx = x + dx;
            const int by = y + dy;
            if (p[3] != 0 || bx < 0 || by < 0 || bx >= background.width || by >= background.height)
                continue;
            const std::uint8_t* b = background.At(bx, by);
            std::copy(b, b + 4, p);
        }
    }
    return out;
}

Image PackageBorder(const std::string& borderFile) {
    return Reading(borderFile, [&] {
        // The same border the build stages for grit.
        const std::vector<std::uint8_t> bytes =
            formats::ReadFileBytes(borderFile, formats::kMaxPictureFileSize);
        const formats::BorderPicture border =
            formats::MakeBorderPicture(bytes.data(), bytes.size());
        Image screen = ImageOf(formats::ReadPicture(border.file.data(), border.file.size()));
        const int width = DesignPixels(Design(PreviewControl::picBorder).rect.width);
        const int height = DesignPixels(Design(PreviewControl::picBorder).rect.height);
        if (screen.width != width || screen.height != height) {
            throw formats::FormatError("not " + std::to_string(width) + " x " +
                                       std::to_string(height) + " pixels");
        }
        // The DS keeps five bits of each channel; widened back as its screen shows them.
        for (std::size_t i = 0; i < screen.rgba.size(); ++i) {
            if (i % 4 == 3) {
                screen.rgba[i] = kOpaque;
                continue;
            }
            const int five = screen.rgba[i] >> 3;
            screen.rgba[i] = static_cast<std::uint8_t>((five << 3) | (five >> 2));
        }
        return screen;
    });
}

Image TopScreenWithGameArea(const Image& border) {
    Image out = border;
    const TwipsRect& area = kBorderGameArea;
    // The ring of pixels just outside the game area.
    const int left = DesignPixels(area.left) - 1;
    const int top = DesignPixels(area.top) - 1;
    const int right = DesignPixels(area.left + area.width);
    const int bottom = DesignPixels(area.top + area.height);
    const auto plot = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= out.width || y >= out.height) return;
        std::uint8_t* p = &out.rgba[(static_cast<std::size_t>(y) * out.width + x) * 4];
        p[0] = kGameAreaOutline.red;
        p[1] = kGameAreaOutline.green;
        p[2] = kGameAreaOutline.blue;
        p[3] = kOpaque;
    };
    for (int x = left; x <= right; ++x) plot(x, top), plot(x, bottom);
    for (int y = top; y <= bottom; ++y) plot(left, y), plot(right, y);
    return out;
}

void LoadPreview(PreviewView& view, const PreviewFacts& facts) {
    const TwipsPointF corner = PreviewPosition(facts.mainOuter, view.OuterSize());
    view.MoveTo(corner.x, corner.y);

    const std::string appDir = ApplicationDirectory();
    const Image background = ReadPreviewPicture(appDir + "/gfx/preview.bmp");
    view.SetPicture(PreviewControl::picBG, background);

    const std::string iconFile = PreviewIconFile(facts.customizeCaption, facts.iconText, appDir);

    const PreviewControl labels[] = {PreviewControl::lblTitle1, PreviewControl::lblTitle2,
                                     PreviewControl::lblTitle3};
    for (int i = 0; i < 3; ++i) {
        view.SetText(labels[i], facts.titles[i]);
        // Measured as a batch measures it (builder/title_width.h).
        if (!TitleLineFits(facts.titles[i])) view.SetTextColour(labels[i], kCutTitleColour);
    }

    // picIcon lies above picBG; its clear pixels show the entry beneath.
    const TwipsRect& iconBox = Design(PreviewControl::picIcon).rect;
    const TwipsRect& backBox = Design(PreviewControl::picBG).rect;
    view.SetPicture(PreviewControl::picIcon,
                    IconOverBackground(PackageIcon(iconFile), background,
                                       DesignPixels(iconBox.left - backBox.left),
                                       DesignPixels(iconBox.top - backBox.top)));
    // The user's icon by its file's name; otherwise the installation's default.
    const std::string icon =
        iconFile == facts.iconText ? files::BaseName(iconFile, "") : std::string("default");
    view.SetAccessibleName(PreviewControl::picIcon, "Menu icon: " + icon);
    view.SetAccessibleName(PreviewControl::picBG, SpokenEntry(facts.titles, icon));

    if (CustomBorderFile(facts.customizeCaption, facts.borderText)) {
        view.SetPicture(PreviewControl::picBorder,
                        TopScreenWithGameArea(PackageBorder(facts.borderText)));
        view.SetAccessibleName(PreviewControl::picBorder,
                               "Top screen, border: " + files::BaseName(facts.borderText, "") +
                                   ", game area outlined");
        view.SetVisible(PreviewControl::picBorder, true);
        view.SetVisible(PreviewControl::note, false);
        view.SetClientSize(kPreviewBorderClientWidth, kPreviewBorderClientHeight);
        const TwipsPointF centred = PreviewPosition(facts.mainOuter, view.OuterSize());
        view.MoveTo(centred.x, centred.y);
    }
}

PreviewSlot::PreviewSlot(Factory factory)
    : factory_(std::move(factory)), current_(std::make_shared<PreviewView*>(nullptr)) {}

PreviewSlot::~PreviewSlot() = default;

void PreviewSlot::Open(const PreviewFacts& facts) {
    if (PreviewView* loaded = *current_) {
        loaded->BringForward();
        return;
    }
    // The callback may run after the slot has gone (the preview outlives the main window).
    std::weak_ptr<PreviewView*> slot = current_;
    auto made = std::make_shared<PreviewView*>(nullptr);
    PreviewView* view = factory_([slot, made] {
        const std::shared_ptr<PreviewView*> current = slot.lock();
        if (current && *current == *made) *current = nullptr;
        *made = nullptr;
    });
    *made = view;
    try {
        LoadPreview(*view, facts);
    } catch (...) {
        view->Discard();
        throw;
    }
    *current_ = view;
    view->Show();
}

}  // namespace pellix::app
