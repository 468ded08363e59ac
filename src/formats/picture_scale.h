// Resizing pictures for the DS: area averaging in linear light with premultiplied alpha.
#pragma once

#include "formats/picture.h"

namespace pellix::formats {

// Scales `picture` to fit inside width x height keeping its aspect (at least one pixel
// on each side), centred, with the rest of the box transparent. Every output pixel is
// the area-weighted average of the source pixels it covers, taken in linear light with
// colours weighted by their opacity, so neither dark fringes nor moiré appear; enlarging
// by a whole factor repeats each pixel. The result is true colour, alpha kept (empty
// when every pixel is opaque).
Picture FitPicture(const Picture& picture, int width, int height);

// Scales `picture` to cover width x height keeping its aspect, centred, the overflow on
// the longer side cropped, averaging as FitPicture does. Transparent parts are laid over
// black. The result is opaque true colour of exactly width x height.
Picture CoverPicture(const Picture& picture, int width, int height);

}  // namespace pellix::formats
