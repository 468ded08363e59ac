// Median-cut palette reduction with a reserved transparent key.
#include "palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "formats/bitmap_writer.h"

namespace artwork {
namespace {

using pellix::formats::Picture;
using pellix::formats::Rgb8;

uint8_t ToByte(double v) {
    return uint8_t(std::lround(std::min(255.0, std::max(0.0, v))));
}

Rgb8 ToRgb(Colour c) {
    return {ToByte(c.r), ToByte(c.g), ToByte(c.b)};
}

int Channel(const Rgb8& c, int i) {
    return i == 0 ? c.r : i == 1 ? c.g : c.b;
}

bool Covered(const Canvas& canvas, int x, int y) {
    return canvas.coverage(x, y) >= 0.5;
}

// Splits the colours into at most `count` boxes, always cutting the box with the widest
// channel at its median, and returns each box's average.
std::vector<Rgb8> MedianCut(std::vector<Rgb8> colours, int count) {
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    auto widest = [&](const Box& b, int* channel) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, Channel(colours[i], c));
                hi = std::max(hi, Channel(colours[i], c));
            }
            if (hi - lo > best) {
                best = hi - lo;
                *channel = c;
            }
        }
        return best;
    };
    while (int(boxes.size()) < count) {
        size_t pick = 0;
        int pickChannel = 0, pickRange = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            int channel = 0;
            const int range = widest(boxes[i], &channel);
            if (range > pickRange) {
                pick = i;
                pickChannel = channel;
                pickRange = range;
            }
        }
        if (pickRange == 0) break;  // every box holds a single colour
        Box b = boxes[pick];
        std::sort(colours.begin() + long(b.begin), colours.begin() + long(b.end),
                  [&](const Rgb8& l, const Rgb8& r) {
                      return Channel(l, pickChannel) < Channel(r, pickChannel);
                  });
        size_t mid = (b.begin + b.end) / 2;
        // Keep equal values on one side so that the two halves do not share a colour.
        const int pivot = Channel(colours[mid], pickChannel);
        while (mid > b.begin && Channel(colours[mid - 1], pickChannel) == pivot) --mid;
        if (mid == b.begin) {
            while (mid < b.end && Channel(colours[mid], pickChannel) == pivot) ++mid;
        }
        boxes[pick] = {b.begin, mid};
        boxes.push_back({mid, b.end});
    }
    std::vector<Rgb8> palette;
    for (const Box& b : boxes) {
        std::array<double, 3> sum{};
        for (size_t i = b.begin; i < b.end; ++i) {
            for (int c = 0; c < 3; ++c) sum[size_t(c)] += Channel(colours[i], c);
        }
        const double n = double(b.end - b.begin);
        palette.push_back({ToByte(sum[0] / n), ToByte(sum[1] / n), ToByte(sum[2] / n)});
    }
    return palette;
}

}  // namespace

Picture Quantise(const Canvas& canvas, int bitsPerPixel, int colours, Rgb8 key) {
    std::vector<Rgb8> covered;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (Covered(canvas, x, y)) covered.push_back(ToRgb(canvas.at(x, y)));
        }
    }
    std::vector<Rgb8> palette{key};
    if (!covered.empty()) {
        for (Rgb8 c : MedianCut(covered, colours - 1)) {
            // A drawn colour must never read as the transparent key.
            if (c.r == key.r && c.g == key.g && c.b == key.b) c.b = uint8_t(c.b ^ 1);
            palette.push_back(c);
        }
    }
    Picture picture = pellix::formats::MakePalettedPicture(canvas.width(), canvas.height(),
                                                           bitsPerPixel, palette);
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const size_t i = size_t(y) * size_t(canvas.width()) + size_t(x);
            if (!Covered(canvas, x, y)) {
                picture.indices[i] = 0;
                picture.pixels[i] = key;
                continue;
            }
            const Rgb8 c = ToRgb(canvas.at(x, y));
            size_t best = 1;
            long bestDistance = -1;
            for (size_t p = 1; p < palette.size(); ++p) {
                const long dr = c.r - palette[p].r, dg = c.g - palette[p].g,
                           db = c.b - palette[p].b;
                const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                if (bestDistance < 0 || d < bestDistance) {
                    best = p;
                    bestDistance = d;
                }
            }
            picture.indices[i] = uint8_t(best);
            picture.pixels[i] = palette[best];
        }
    }
    return picture;
}

Picture TrueColour(const Canvas& canvas) {
    Picture picture = pellix::formats::MakeRgbPicture(canvas.width(), canvas.height());
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            picture.pixels[size_t(y) * size_t(canvas.width()) + size_t(x)] = ToRgb(canvas.at(x, y));
        }
    }
    return picture;
}

}  // namespace artwork
