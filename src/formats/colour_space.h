// Colour conversions for resampling and palette choice: sRGB, linear light and Oklab.
#pragma once

#include <cstdint>

#include "formats/picture.h"

namespace pellix::formats {

// A colour in Oklab (lightness L from 0 to 1, a and b about -0.4 to 0.4), a space in
// which equal distances look about equally different.
struct Oklab {
    float L = 0, a = 0, b = 0;
};

// The linear-light value (0 to 1) of an 8-bit sRGB channel, from a table.
float SrgbToLinear(uint8_t value);

// The nearest 8-bit sRGB value of a linear-light value; values outside 0..1 are clamped.
uint8_t LinearToSrgb(float value);

// Oklab of a linear-light colour, and back.
Oklab LinearToOklab(float r, float g, float b);
void OklabToLinear(const Oklab& lab, float& r, float& g, float& b);

// Oklab of an 8-bit sRGB colour, and the nearest 8-bit sRGB colour of an Oklab colour.
Oklab ToOklab(Rgb8 colour);
Rgb8 ToRgb8(const Oklab& lab);

// Squared distance between two Oklab colours.
inline float DistanceSquared(const Oklab& x, const Oklab& y) {
    const float dL = x.L - y.L, da = x.a - y.a, db = x.b - y.b;
    return dL * dL + da * da + db * db;
}

// The 8-bit colour the DS shows for `colour`: each channel keeps its top 5 bits (the DS
// colour is (r>>3) | (g>>3)<<5 | (b>>3)<<10), widened again so that the 5-bit level
// fills the byte (level << 3 | level >> 2) and >> 3 gives the level back.
Rgb8 DsVisible(Rgb8 colour);

// The 8-bit colour whose DS colour is nearest to `colour`: each channel rounded to the
// nearest of the 32 levels rather than cut, and widened as in DsVisible.
Rgb8 NearestDsColour(Rgb8 colour);

}  // namespace pellix::formats
