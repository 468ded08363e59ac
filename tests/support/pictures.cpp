// Test pictures, their encoders, and the plain downscale used to measure converted icons.
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "formats/bitmap_writer.h"

namespace pellix::testing {
namespace {

void Sink(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

Bytes Channels(const Picture& picture, bool withAlpha) {
    Bytes out;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const Rgb8 c = picture.pixels[i];
        out.insert(out.end(), {c.r, c.g, c.b});
        if (withAlpha) out.push_back(picture.hasAlpha() ? picture.alpha[i] : 255);
    }
    return out;
}

void Put(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint8_t Byte(double v) {
    return static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, v))));
}

}  // namespace

Bytes EncodePng(int width, int height, int channels, const Bytes& pixels) {
    Bytes out;
    stbi_write_png_to_func(Sink, &out, width, height, channels, pixels.data(), width * channels);
    return out;
}

Bytes EncodePng(const Picture& picture) {
    return EncodePng(picture.width, picture.height, picture.hasAlpha() ? 4 : 3,
                     Channels(picture, picture.hasAlpha()));
}

Bytes EncodeJpeg(const Picture& picture, int quality) {
    const Bytes data = Channels(picture, false);
    Bytes out;
    stbi_write_jpg_to_func(Sink, &out, picture.width, picture.height, 3, data.data(), quality);
    return out;
}

Bytes EncodeGif(const Picture& picture, int transparent) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    Put(out, static_cast<uint32_t>(picture.width), 2);
    Put(out, static_cast<uint32_t>(picture.height), 2);
    out.insert(out.end(), {0xF7, 0, 0});  // a global table of 256 entries
    for (size_t i = 0; i < 256; ++i) {
        const Rgb8 c = i < picture.palette.size() ? picture.palette[i] : Rgb8{};
        out.insert(out.end(), {c.r, c.g, c.b});
    }
    if (transparent >= 0)
        out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(transparent), 0});
    out.push_back(0x2C);
    Put(out, 0, 4);
    Put(out, static_cast<uint32_t>(picture.width), 2);
    Put(out, static_cast<uint32_t>(picture.height), 2);
    out.push_back(0);
    out.push_back(8);  // LZW minimum code size: codes of 9 bits, clear 256, end 257
    Bytes codes;
    uint32_t bits = 0;
    int count = 0;
    auto emit = [&](uint32_t code) {
        bits |= code << count;
        count += 9;
        while (count >= 8) {
            codes.push_back(static_cast<uint8_t>(bits));
            bits >>= 8;
            count -= 8;
        }
    };
    for (size_t i = 0; i < picture.indices.size(); ++i) {
        if (i % 250 == 0) emit(256);  // before the table would need 10-bit codes
        emit(picture.indices[i]);
    }
    emit(257);
    if (count > 0) codes.push_back(static_cast<uint8_t>(bits));
    for (size_t at = 0; at < codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), codes.begin() + static_cast<long>(at),
                   codes.begin() + static_cast<long>(at + n));
    }
    out.push_back(0);
    out.push_back(0x3B);
    return out;
}

Bytes EncodeBitmapWithAlpha(const Picture& picture) {
    const uint32_t pixelBytes = static_cast<uint32_t>(picture.pixels.size() * 4);
    Bytes out = {'B', 'M'};
    Put(out, 14 + 124 + pixelBytes, 4);
    Put(out, 0, 4);
    Put(out, 14 + 124, 4);
    Put(out, 124, 4);
    Put(out, static_cast<uint32_t>(picture.width), 4);
    Put(out, static_cast<uint32_t>(-picture.height), 4);  // top-down
    Put(out, 1, 2);
    Put(out, 32, 2);
    Put(out, 3, 4);  // BITFIELDS
    Put(out, pixelBytes, 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) Put(out, mask, 4);
    out.resize(14 + 124, 0);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const Rgb8 c = picture.pixels[i];
        out.insert(out.end(),
                   {c.b, c.g, c.r, picture.hasAlpha() ? picture.alpha[i] : uint8_t{255}});
    }
    return out;
}

Picture FlatLogo() {
    Picture p = formats::MakeRgbPicture(240, 160, Rgb8{255, 255, 255});
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 240; ++x) {
            Rgb8& c = p.pixels[static_cast<size_t>(y) * 240 + x];
            const double dx = x - 80, dy = y - 80;
            if (dx * dx + dy * dy < 60 * 60) c = {220, 30, 40};                // red disc
            if (x >= 130 && x < 220 && y >= 30 && y < 130) c = {20, 70, 200};  // blue square
            if (y >= 140 && y < 150 && x >= 20 && x < 220) c = {30, 30, 30};   // dark bar
            if (x >= 150 && x < 200 && y >= 55 && y < 105) c = {250, 200, 0};  // yellow in blue
        }
    }
    return p;
}

Picture PhotoLike(int width, int height) {
    Picture p = formats::MakeRgbPicture(width, height);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 6);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
            // A sky, a hill with grass-like stripes, a sun, fine texture and sensor noise.
            double r = 90 + 80 * v, g = 140 + 60 * v, b = 230 - 40 * v;
            const double hill = 0.62 + 0.12 * std::sin(u * 7.0);
            if (v > hill) {
                const double stripe = 0.5 + 0.5 * std::sin(u * 180 + v * 40);
                r = 40 + 50 * stripe + 60 * (v - hill);
                g = 110 + 70 * stripe;
                b = 30 + 20 * stripe;
            }
            const double du = u - 0.72, dv = (v - 0.25) * height / width;
            const double sun = std::exp(-(du * du + dv * dv) / 0.004);
            r += 160 * sun;
            g += 120 * sun;
            b -= 60 * sun;
            const double n = noise(rng);
            p.pixels[static_cast<size_t>(y) * width + x] = {Byte(r + n), Byte(g + n), Byte(b + n)};
        }
    }
    return p;
}

Picture AlphaBadge() {
    Picture p = formats::MakeRgbPicture(200, 120);
    p.alpha.assign(p.pixels.size(), 0);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 200; ++x) {
            const size_t i = static_cast<size_t>(y) * 200 + x;
            // A rounded badge whose edge fades over 6 pixels, a ring inside, and colour
            // left in the clear pixels that must not bleed in.
            const double qx = std::max(0.0, std::abs(x - 99.5) - 60),
                         qy = std::max(0.0, std::abs(y - 59.5) - 20);
            const double edge = std::hypot(qx, qy) - 30;  // negative inside
            const double a = std::min(1.0, std::max(0.0, 0.5 - edge / 6));
            const double ring = std::abs(std::hypot(x - 60.0, y - 60.0) - 25);
            p.pixels[i] =
                a > 0 ? (ring < 5 ? Rgb8{255, 255, 255} : Rgb8{30, 140, 90}) : Rgb8{255, 0, 255};
            p.alpha[i] = Byte(255 * a);
        }
    }
    return p;
}

Picture OnePixel() {
    return formats::MakeRgbPicture(1, 1, Rgb8{240, 130, 20});
}

double ToLinear(uint8_t v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

uint8_t FromLinear(double v) {
    const double c = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return Byte(255 * c);
}

std::vector<Rgba8> PlainFit(const Picture& picture, int size, bool linearLight) {
    const auto in = [&](uint8_t v) { return linearLight ? ToLinear(v) : static_cast<double>(v); };
    const auto out = [&](double v) { return linearLight ? FromLinear(v) : Byte(v); };
    const double scale = std::min(static_cast<double>(size) / picture.width,
                                  static_cast<double>(size) / picture.height);
    const int w = std::min(size, std::max(1, static_cast<int>(std::lround(picture.width * scale))));
    const int h =
        std::min(size, std::max(1, static_cast<int>(std::lround(picture.height * scale))));
    const int left = (size - w) / 2, top = (size - h) / 2;
    std::vector<double> sum(static_cast<size_t>(w) * h * 5, 0.0);
    for (int y = 0; y < picture.height; ++y) {
        const int oy = std::min(h - 1, static_cast<int>((y + 0.5) * h / picture.height));
        for (int x = 0; x < picture.width; ++x) {
            const int ox = std::min(w - 1, static_cast<int>((x + 0.5) * w / picture.width));
            const size_t i = static_cast<size_t>(y) * picture.width + x;
            const double a = picture.hasAlpha() ? picture.alpha[i] / 255.0 : 1.0;
            double* s = &sum[5 * (static_cast<size_t>(oy) * w + ox)];
            s[0] += in(picture.pixels[i].r) * a;
            s[1] += in(picture.pixels[i].g) * a;
            s[2] += in(picture.pixels[i].b) * a;
            s[3] += a;
            s[4] += 1;
        }
    }
    std::vector<Rgba8> fitted(static_cast<size_t>(size) * size);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double* s = &sum[5 * (static_cast<size_t>(y) * w + x)];
            Rgba8& o = fitted[static_cast<size_t>(y + top) * size + x + left];
            if (s[4] == 0) continue;
            o.a = Byte(255 * s[3] / s[4]);
            if (s[3] > 0) o = {out(s[0] / s[3]), out(s[1] / s[3]), out(s[2] / s[3]), o.a};
        }
    }
    // A box smaller than the picture's pixels (enlarging) leaves holes: the nearest pixel.
    if (picture.width < w || picture.height < h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int sx = std::min(picture.width - 1, x * picture.width / w);
                const int sy = std::min(picture.height - 1, y * picture.height / h);
                const size_t i = static_cast<size_t>(sy) * picture.width + sx;
                const Rgb8 c = picture.pixels[i];
                fitted[static_cast<size_t>(y + top) * size + x + left] = {
                    c.r, c.g, c.b, picture.hasAlpha() ? picture.alpha[i] : uint8_t{255}};
            }
    }
    return fitted;
}

IconError Compare(const std::vector<Rgba8>& icon, const std::vector<Rgba8>& reference) {
    IconError e;
    size_t both = 0, differ = 0;
    for (size_t i = 0; i < icon.size(); ++i) {
        const bool shown = icon[i].a != 0, expected = reference[i].a >= 128;
        if (shown != expected) ++differ;
        if (!shown || !expected) continue;
        const double d = std::sqrt(std::pow(icon[i].r - reference[i].r, 2) +
                                   std::pow(icon[i].g - reference[i].g, 2) +
                                   std::pow(icon[i].b - reference[i].b, 2));
        e.mean += d;
        e.worst = std::max(e.worst, d);
        ++both;
    }
    if (both > 0) e.mean /= static_cast<double>(both);
    e.visibility = static_cast<double>(differ) / static_cast<double>(icon.size());
    return e;
}

void WriteSideBySide(const std::string& path, const std::vector<std::vector<Panel>>& rows) {
    const int gap = 8, cell = 256;
    size_t columns = 0;
    for (const auto& row : rows) columns = std::max(columns, row.size());
    const int width = static_cast<int>(columns) * (cell + gap) + gap;
    const int height = static_cast<int>(rows.size()) * (cell + gap) + gap;
    Bytes rgb(static_cast<size_t>(width) * height * 3, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // A checkerboard behind, so that transparency shows.
            const uint8_t v = ((x / 8 + y / 8) % 2) ? 200 : 160;
            std::memset(&rgb[3 * (static_cast<size_t>(y) * width + x)], v, 3);
        }
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t k = 0; k < rows[r].size(); ++k) {
            const Panel& panel = rows[r][k];
            for (int y = 0; y < cell; ++y)
                for (int x = 0; x < cell; ++x) {
                    const Rgba8 c =
                        panel.pixels[static_cast<size_t>(y * panel.size / cell) * panel.size +
                                     x * panel.size / cell];
                    if (c.a < 128) continue;
                    const int ox = gap + static_cast<int>(k) * (cell + gap) + x;
                    const int oy = gap + static_cast<int>(r) * (cell + gap) + y;
                    uint8_t* o = &rgb[3 * (static_cast<size_t>(oy) * width + ox)];
                    o[0] = c.r;
                    o[1] = c.g;
                    o[2] = c.b;
                }
        }
    Bytes png;
    stbi_write_png_to_func(Sink, &png, width, height, 3, rgb.data(), width * 3);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

}  // namespace pellix::testing
