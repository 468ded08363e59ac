// What every decoded picture must satisfy, shared by the picture fuzz targets.
#pragma once

#include <cstdlib>

#include "formats/picture.h"

inline void CheckDecodedPicture(const pellix::formats::Picture& picture) {
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (picture.width <= 0 || picture.height <= 0 || picture.pixels.size() != count ||
        count > pellix::formats::kMaxPicturePixels)
        std::abort();
    if (picture.hasAlpha() && picture.alpha.size() != count) std::abort();
    if (picture.paletted() && picture.indices.size() != count) std::abort();
}
