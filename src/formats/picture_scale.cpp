// Area-averaging resampler: separable box weights over fractional source spans.
#include "formats/picture_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "formats/colour_space.h"
#include "formats/format_error.h"

namespace pellix::formats {
namespace {

// A source span and the weights with which its pixels make one output pixel.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

// The taps of `count` output pixels that together cover the source interval [from, to)
// on an axis of `length` pixels: output i covers [from + i*step, from + (i+1)*step).
std::vector<Taps> MakeTaps(double from, double to, int count, int length) {
    std::vector<Taps> taps(static_cast<size_t>(count));
    const double step = (to - from) / count;
    for (int i = 0; i < count; ++i) {
        const double lo = from + i * step, hi = lo + step;
        const int first = std::max(0, static_cast<int>(std::floor(lo)));
        const int last = std::min(length, static_cast<int>(std::ceil(hi)));
        Taps& t = taps[static_cast<size_t>(i)];
        t.first = first;
        double sum = 0;
        for (int j = first; j < last; ++j) {
            const double w = std::min<double>(hi, j + 1) - std::max<double>(lo, j);
            t.weights.push_back(static_cast<float>(std::max(0.0, w)));
            sum += std::max(0.0, w);
        }
        if (t.weights.empty()) {  // a span below the first or past the last pixel
            t.first = std::min(std::max(first, 0), length - 1);
            t.weights.push_back(1.0f);
            sum = 1;
        }
        for (float& w : t.weights) w = static_cast<float>(w / sum);
    }
    return taps;
}

// Resamples the source rectangle [x0, x1) x [y0, y1) of `picture` to width x height
// pixels: four floats per pixel, linear-light colour premultiplied by opacity, then opacity.
std::vector<float> Resample(const Picture& picture, double x0, double y0, double x1, double y1,
                            int width, int height) {
    const size_t srcWidth = static_cast<size_t>(picture.width);
    const size_t count = srcWidth * static_cast<size_t>(picture.height);
    if (picture.width <= 0 || picture.height <= 0 || picture.pixels.size() != count ||
        (picture.hasAlpha() && picture.alpha.size() != count))
        throw FormatError("the picture is " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels");
    const std::vector<Taps> columns = MakeTaps(x0, x1, width, picture.width);
    const std::vector<Taps> rows = MakeTaps(y0, y1, height, picture.height);
    const size_t w = static_cast<size_t>(width);

    // Rows of the source that any output row reads, resampled across first.
    const int rowFirst = rows.front().first;
    const int rowEnd = rows.back().first + static_cast<int>(rows.back().weights.size());
    std::vector<float> across(static_cast<size_t>(rowEnd - rowFirst) * w * 4, 0.0f);
    std::vector<float> line(srcWidth * 4);
    for (int y = rowFirst; y < rowEnd; ++y) {
        const size_t base = static_cast<size_t>(y) * srcWidth;
        for (size_t x = 0; x < srcWidth; ++x) {
            const Rgb8 c = picture.pixels[base + x];
            const float a = picture.hasAlpha() ? picture.alpha[base + x] / 255.0f : 1.0f;
            float* p = &line[4 * x];
            p[0] = SrgbToLinear(c.r) * a;
            p[1] = SrgbToLinear(c.g) * a;
            p[2] = SrgbToLinear(c.b) * a;
            p[3] = a;
        }
        float* out = &across[static_cast<size_t>(y - rowFirst) * w * 4];
        for (size_t i = 0; i < w; ++i) {
            const Taps& t = columns[i];
            for (size_t k = 0; k < t.weights.size(); ++k) {
                const float* p = &line[4 * (static_cast<size_t>(t.first) + k)];
                for (int ch = 0; ch < 4; ++ch) out[4 * i + ch] += t.weights[k] * p[ch];
            }
        }
    }

    std::vector<float> result(w * static_cast<size_t>(height) * 4, 0.0f);
    for (size_t j = 0; j < static_cast<size_t>(height); ++j) {
        const Taps& t = rows[j];
        float* out = &result[j * w * 4];
        for (size_t k = 0; k < t.weights.size(); ++k) {
            const float* in = &across[(static_cast<size_t>(t.first - rowFirst) + k) * w * 4];
            for (size_t i = 0; i < w * 4; ++i) out[i] += t.weights[k] * in[i];
        }
    }
    return result;
}

}  // namespace

Picture FitPicture(const Picture& picture, int width, int height) {
    if (picture.width <= 0 || picture.height <= 0)
        throw FormatError("the picture is " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels");
    const double scale = std::min(static_cast<double>(width) / picture.width,
                                  static_cast<double>(height) / picture.height);
    const int placedWidth =
        std::min(width, std::max(1, static_cast<int>(std::lround(picture.width * scale))));
    const int placedHeight =
        std::min(height, std::max(1, static_cast<int>(std::lround(picture.height * scale))));
    const std::vector<float> placed =
        Resample(picture, 0, 0, picture.width, picture.height, placedWidth, placedHeight);

    const int left = (width - placedWidth) / 2, top = (height - placedHeight) / 2;
    Picture out;
    out.width = width;
    out.height = height;
    out.bitsPerPixel = 32;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    out.pixels.assign(count, Rgb8{});
    out.alpha.assign(count, 0);
    bool opaque = true;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(width) + x;
            const int px = x - left, py = y - top;
            if (px < 0 || py < 0 || px >= placedWidth || py >= placedHeight) {
                opaque = false;
                continue;
            }
            const float* p = &placed[4 * (static_cast<size_t>(py) * placedWidth + px)];
            const float a = p[3];
            const auto opacity = static_cast<uint8_t>(std::lround(std::min(1.0f, a) * 255));
            out.alpha[i] = opacity;
            opaque = opaque && opacity == 255;
            if (a > 0)  // the colour of the covered part of the pixel
                out.pixels[i] = {LinearToSrgb(p[0] / a), LinearToSrgb(p[1] / a),
                                 LinearToSrgb(p[2] / a)};
        }
    }
    if (opaque) std::vector<uint8_t>().swap(out.alpha);
    return out;
}

Picture CoverPicture(const Picture& picture, int width, int height) {
    if (picture.width <= 0 || picture.height <= 0)
        throw FormatError("the picture is " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels");
    const double scale = std::max(static_cast<double>(width) / picture.width,
                                  static_cast<double>(height) / picture.height);
    // The part of the source that lands on the box, centred.
    const double spanX = width / scale, spanY = height / scale;
    const double x0 = (picture.width - spanX) / 2, y0 = (picture.height - spanY) / 2;
    const std::vector<float> cover =
        Resample(picture, x0, y0, x0 + spanX, y0 + spanY, width, height);
    Picture out;
    out.width = width;
    out.height = height;
    out.bitsPerPixel = 24;
    out.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        const float* p = &cover[4 * i];  // premultiplied: laid over black already
        out.pixels[i] = {LinearToSrgb(p[0]), LinearToSrgb(p[1]), LinearToSrgb(p[2])};
    }
    return out;
}

}  // namespace pellix::formats
