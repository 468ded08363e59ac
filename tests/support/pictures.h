// Test pictures: encoders for every kind the readers take, reference pictures, and the
// plain downscale that converted icons are measured against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/menu_icon.h"
#include "formats/picture.h"

namespace pellix::testing {

using Bytes = std::vector<uint8_t>;
using formats::Picture;
using formats::Rgb8;
using formats::Rgba8;

// PNG (RGBA when the picture has alpha, else RGB) and JPEG through stb_image_write.
Bytes EncodePng(const Picture& picture);
// A PNG of `pixels` as they are: `channels` 1 (grey), 2 (grey, alpha), 3 (RGB) or 4 (RGBA).
Bytes EncodePng(int width, int height, int channels, const Bytes& pixels);
Bytes EncodeJpeg(const Picture& picture, int quality = 95);
// A GIF of a paletted picture (up to 256 entries), with `transparent` as its transparent
// index when not negative. The LZW data holds plain codes with a clear code every 250.
Bytes EncodeGif(const Picture& picture, int transparent = -1);
// A 32-bit bitmap with a V5 header and an alpha mask (alpha 255 where the picture has none).
Bytes EncodeBitmapWithAlpha(const Picture& picture);

// The reference pictures converted icons are measured on.
Picture FlatLogo();                        // 240 x 160: four flat colours on white
Picture PhotoLike(int width, int height);  // smooth shading, edges, fine detail, noise
Picture AlphaBadge();                      // 200 x 120 RGBA: a soft-edged badge on clear
Picture OnePixel();                        // 1 x 1 orange

// A straightforward downscale into a size x size box, placed as the icon places it (fit,
// centred): each output pixel averages the source pixels whose centres fall in it,
// colours weighted by opacity, either on the sRGB values themselves or in linear light.
std::vector<Rgba8> PlainFit(const Picture& picture, int size, bool linearLight = false);

// How far an icon is from a reference: the mean and the largest Euclidean RGB distance
// over the pixels both show, and the share of pixels (0 to 1) that one shows and the
// other does not (the reference shows pixels at least half opaque).
struct IconError {
    double mean = 0;
    double worst = 0;
    double visibility = 0;
};
IconError Compare(const std::vector<Rgba8>& icon, const std::vector<Rgba8>& reference);

// A square picture for WriteSideBySide.
struct Panel {
    std::vector<Rgba8> pixels;  // size x size
    int size = 0;
};

// Writes rows of panels, each enlarged to 256 x 256 over a checkerboard, as a PNG file
// for looking at (not used by the tests' verdicts).
void WriteSideBySide(const std::string& path, const std::vector<std::vector<Panel>>& rows);

}  // namespace pellix::testing
