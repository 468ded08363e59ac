// Whether an installation still holds the stand-in DS-side images instead of Quillmere's own.
#pragma once

#include <string>
#include <vector>

namespace pellix {

// The DS-side images of the installation at `appDir` (bin/7.bin, then bin/9.bin) that are
// Pellix's stand-ins, told by the marker they carry, as full paths. A missing or unreadable
// image is not listed: the build itself says what is wrong with it.
std::vector<std::string> StandInImages(const std::string& appDir);

// One line for the user naming `standIns` and saying what to do; "" when there are none.
std::string StandInWarning(const std::vector<std::string>& standIns);

}  // namespace pellix
