// pellix_artwork: draws the default pictures and the windows' artwork into an assets folder.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "formats/bitmap_writer.h"
#include "icon_file.h"
#include "palette.h"
#include "pictures.h"

namespace {

pellix::formats::Rgb8 ToRgb(artwork::Colour c) {
    return {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)};
}

void Save(const std::string& assets, const std::string& name,
          const pellix::formats::Picture& picture) {
    const std::string path = assets + "/" + name;
    pellix::formats::WriteBitmapFile(path, picture);
    std::printf("wrote %s (%d x %d, %d bits)\n", path.c_str(), picture.width, picture.height,
                picture.bitsPerPixel);
}

uint8_t ToByte(double v) {
    return uint8_t(std::lround(v < 0 ? 0 : v > 255 ? 255 : v));
}

// Writes the canvas as an RGBA PNG: the painted colour, and its coverage as alpha.
void SavePng(const std::string& assets, const std::string& name, const artwork::Canvas& canvas) {
    const std::string path = assets + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<uint8_t> rgba;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const artwork::Colour c = canvas.painted(x, y);
            rgba.insert(rgba.end(), {ToByte(c.r), ToByte(c.g), ToByte(c.b),
                                     ToByte(255 * canvas.coverage(x, y))});
        }
    }
    if (!stbi_write_png(path.c_str(), canvas.width(), canvas.height(), 4, rgba.data(),
                        canvas.width() * 4))
        throw std::runtime_error("cannot write " + path);
    std::printf("wrote %s (%d x %d, RGBA)\n", path.c_str(), canvas.width(), canvas.height());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pellix_artwork ASSETS-FOLDER\n");
        return 2;
    }
    const std::string assets = argv[1];
    try {
        using namespace artwork;
        Save(assets, "gfx/icon.bmp", Quantise(DrawMenuIcon(), 4, 16, ToRgb(kMenuIconKey)));
        Save(assets, "gfx/border.bmp", TrueColour(DrawBorder()));
        Save(assets, "gfx/preview.bmp", TrueColour(DrawMenuEntry()));
        Save(assets, "window/top_banner.bmp", TrueColour(DrawTopBanner()));
        Save(assets, "window/bottom_banner.bmp", TrueColour(DrawBottomBanner()));
        Save(assets, "window/top_banner@2x.bmp", TrueColour(DrawTopBanner(2)));
        Save(assets, "window/bottom_banner@2x.bmp", TrueColour(DrawBottomBanner(2)));
        Save(assets, "window/preview_placeholder@2x.bmp", TrueColour(DrawPlaceholder(2)));
        Save(assets, "window/icon.bmp", Quantise(DrawWindowIcon(), 8, 256, ToRgb(kWindowIconKey)));
        Save(assets, "window/preview_placeholder.bmp", TrueColour(DrawPlaceholder()));
        // The application icon for Linux desktops, in the sizes their menus and docks use.
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const std::string folder = std::to_string(size) + "x" + std::to_string(size);
            SavePng(assets, "desktop/icons/hicolor/" + folder + "/apps/pellix.png",
                    DrawWindowIcon(size));
        }
        // The Windows program's icon: the same drawing at the title bar's and the large
        // icon's sizes from 100 % to 200 % scaling, its anti-aliased edge kept as alpha.
        std::vector<IconImage> images;
        for (int size : {16, 20, 24, 32, 40, 48, 64})
            images.push_back(ToIconImage(DrawWindowIcon(size), kWindowIconKey));
        WriteIconFile(assets + "/window/icon.ico", images);
        std::printf("wrote %s/window/icon.ico (16 to 64 pixels, 32 bits)\n", assets.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pellix_artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}
