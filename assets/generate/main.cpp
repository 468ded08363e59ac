// pellix_artwork: draws the default pictures and the windows' artwork into an assets folder.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "bitmap_writer.h"
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
        Save(assets, "window/icon.bmp", Quantise(DrawWindowIcon(), 8, 256, ToRgb(kWindowIconKey)));
        Save(assets, "window/preview_placeholder.bmp", TrueColour(DrawPlaceholder()));
        // The Windows program's icon: the same drawing with its anti-aliased edge kept as
        // alpha, at the title bar's size and the large size.
        const IconImage large = ToIconImage(DrawWindowIcon(), kWindowIconKey);
        WriteIconFile(assets + "/window/icon.ico", {HalfSize(large), large});
        std::printf("wrote %s/window/icon.ico (16 x 16, 32 x 32, 32 bits)\n", assets.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pellix_artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}
