// Turns any picture into the DS menu icon: fit, centre, key out the transparent part,
// reduce to 15 colours.
#include "formats/menu_icon.h"

#include "formats/banner.h"
#include "formats/bitmap_writer.h"
#include "formats/colour_quantiser.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/nds_format.h"
#include "formats/picture_scale.h"

namespace pellix::formats {
namespace {

constexpr int kIconBits = 4;
// Index 0 is transparent in the DS menu. Its colour is seen only where the bitmap is
// shown unmasked (a file viewer, the classic tools' previews): white, like the default icon.
constexpr Rgb8 kTransparentColour{255, 255, 255};
// Unused palette entries after the chosen colours.
constexpr Rgb8 kUnusedColour{0, 0, 0};
// A pixel at least this opaque (out of 255) is shown; the DS has no partial transparency.
constexpr uint8_t kShownAlpha = 128;

// A paletted source that the DS takes as it is.
bool UsableAsItIs(const Picture& picture) {
    try {
        CheckIcon(picture);
        return true;
    } catch (const FormatError&) {
        return false;
    }
}

Picture Convert(const Picture& source) {
    const Picture fitted = FitPicture(source, nds::kIconSize, nds::kIconSize);
    const auto shown = [&](size_t i) {
        return !fitted.hasAlpha() || fitted.alpha[i] >= kShownAlpha;
    };
    std::vector<Rgb8> opaque;
    for (size_t i = 0; i < fitted.pixels.size(); ++i)
        if (shown(i)) opaque.push_back(fitted.pixels[i]);
    const std::vector<Rgb8> colours = ChoosePalette(opaque, nds::kIconColours - 1);

    Picture icon = MakePalettedPicture(nds::kIconSize, nds::kIconSize, kIconBits, {});
    icon.palette.assign(nds::kIconColours, kUnusedColour);
    icon.palette[0] = kTransparentColour;
    std::vector<Oklab> labs;
    for (size_t i = 0; i < colours.size(); ++i) {
        icon.palette[i + 1] = colours[i];
        labs.push_back(ToOklab(colours[i]));
    }
    for (size_t i = 0; i < fitted.pixels.size(); ++i) {
        if (shown(i))
            icon.indices[i] =
                static_cast<uint8_t>(1 + NearestColour(labs, ToOklab(fitted.pixels[i])));
        icon.pixels[i] = icon.palette[icon.indices[i]];
    }
    return icon;
}

}  // namespace

MenuIcon MakeMenuIcon(const uint8_t* data, size_t size) {
    MenuIcon icon;
    Picture source = ReadPicture(data, size);
    if (source.paletted() && UsableAsItIs(source)) {
        icon.picture = std::move(source);
        icon.file.assign(data, data + size);
        return icon;
    }
    icon.picture = Convert(source);
    icon.file = EncodeBitmap(icon.picture);
    icon.converted = true;
    return icon;
}

MenuIcon ReadMenuIconFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path, kMaxPictureFileSize);
    return MakeMenuIcon(bytes.data(), bytes.size());
}

std::vector<Rgba8> MenuIconRgba(const Picture& icon) {
    CheckIcon(icon);
    std::vector<Rgba8> out(icon.indices.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const uint8_t index = icon.indices[i];
        if (index == 0 || index >= icon.palette.size()) continue;  // shown transparent
        const Rgb8 c = DsVisible(icon.palette[index]);
        out[i] = {c.r, c.g, c.b, 255};
    }
    return out;
}

}  // namespace pellix::formats
