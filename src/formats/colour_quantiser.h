// Palette choice for the DS's 16-colour pictures: median cut refined by k-means in Oklab.
#pragma once

#include <cstddef>
#include <vector>

#include "formats/colour_space.h"
#include "formats/picture.h"

namespace pellix::formats {

// Chooses at most `count` distinct DS colours (see NearestDsColour) that stand for
// `colours`, one entry per pixel, with little squared Oklab error: when the pixels'
// nearest DS colours number `count` or fewer they are the palette, exactly; otherwise a
// median cut (each time splitting the box of largest error where the split removes
// most of it) gives the start for k-means refinement. The result is the same for the
// same input, sorted from dark to light.
std::vector<Rgb8> ChoosePalette(const std::vector<Rgb8>& colours, size_t count);

// The index of the entry of `palette` nearest to `colour` in Oklab (the first of equals).
size_t NearestColour(const std::vector<Oklab>& palette, const Oklab& colour);

}  // namespace pellix::formats
