// Reduces a painted canvas to a palette picture for the bitmaps that need one.
#pragma once

#include "canvas.h"
#include "formats/picture.h"

namespace artwork {

// A paletted picture of `canvas` with at most `colours` entries, of which index 0 is
// `key` and stands for every pixel less than half covered (the transparent background).
// The rest come from a median cut of the covered pixels, each pixel taking its nearest.
pellix::formats::Picture Quantise(const Canvas& canvas, int bitsPerPixel, int colours,
                                  pellix::formats::Rgb8 key);

// A true-colour picture of `canvas`.
pellix::formats::Picture TrueColour(const Canvas& canvas);

}  // namespace artwork
