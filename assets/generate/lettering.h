// A stroked lettering face for the few words the artwork spells.
#pragma once

#include <string>

#include "canvas.h"

namespace artwork {

// Where and how large a line of lettering sits on a picture.
struct TextPlacement {
    double left = 0;        // pixel x of the first letter's left edge
    double baseline = 0;    // pixel y of the baseline
    double size = 20;       // pixel height of the tall letters (Q, l)
    double stroke = 0.17;   // stroke thickness as a share of `size`
    double slant = 0.12;    // sideways lean per unit of height
    double spacing = 0.16;  // gap between letters as a share of `size`
};

// The shape of `text` placed as asked. Only the letters of "Quillmere" have glyphs;
// any other character leaves a blank gap.
Shape Lettering(const std::string& text, const TextPlacement& where);

// The width in pixels that Lettering(text, where) covers.
double LetteringWidth(const std::string& text, const TextPlacement& where);

}  // namespace artwork
