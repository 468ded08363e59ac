// sRGB transfer curve, Oklab (Björn Ottosson's matrices) and the DS's 5-bit channels.
#include "formats/colour_space.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pellix::formats {
namespace {

std::array<float, 256> MakeLinearTable() {
    std::array<float, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const double v = i / 255.0;
        table[static_cast<size_t>(i)] =
            static_cast<float>(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return table;
}

const std::array<float, 256> kLinear = MakeLinearTable();

uint8_t Widen5(int level) {
    return static_cast<uint8_t>(level << 3 | level >> 2);
}

}  // namespace

float SrgbToLinear(uint8_t value) {
    return kLinear[value];
}

uint8_t LinearToSrgb(float value) {
    // The table is increasing: find the nearest entry.
    const float v = std::min(1.0f, std::max(0.0f, value));
    const auto upper = std::lower_bound(kLinear.begin(), kLinear.end(), v);
    if (upper == kLinear.begin()) return 0;
    if (upper == kLinear.end()) return 255;
    const auto index = static_cast<uint8_t>(upper - kLinear.begin());
    return (v - *(upper - 1) < *upper - v) ? static_cast<uint8_t>(index - 1) : index;
}

Oklab LinearToOklab(float r, float g, float b) {
    const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
    const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
    const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
    return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
            1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
            0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

void OklabToLinear(const Oklab& lab, float& r, float& g, float& b) {
    const float l = lab.L + 0.3963377774f * lab.a + 0.2158037573f * lab.b;
    const float m = lab.L - 0.1055613458f * lab.a - 0.0638541728f * lab.b;
    const float s = lab.L - 0.0894841775f * lab.a - 1.2914855480f * lab.b;
    const float l3 = l * l * l, m3 = m * m * m, s3 = s * s * s;
    r = 4.0767416621f * l3 - 3.3077115913f * m3 + 0.2309699292f * s3;
    g = -1.2684380046f * l3 + 2.6097574011f * m3 - 0.3413193965f * s3;
    b = -0.0041960863f * l3 - 0.7034186147f * m3 + 1.7076147010f * s3;
}

Oklab ToOklab(Rgb8 colour) {
    return LinearToOklab(SrgbToLinear(colour.r), SrgbToLinear(colour.g), SrgbToLinear(colour.b));
}

Rgb8 ToRgb8(const Oklab& lab) {
    float r = 0, g = 0, b = 0;
    OklabToLinear(lab, r, g, b);
    return {LinearToSrgb(r), LinearToSrgb(g), LinearToSrgb(b)};
}

Rgb8 DsVisible(Rgb8 colour) {
    return {Widen5(colour.r >> 3), Widen5(colour.g >> 3), Widen5(colour.b >> 3)};
}

Rgb8 NearestDsColour(Rgb8 colour) {
    const auto level = [](uint8_t v) { return (v * 31 + 127) / 255; };
    return {Widen5(level(colour.r)), Widen5(level(colour.g)), Widen5(level(colour.b))};
}

}  // namespace pellix::formats
