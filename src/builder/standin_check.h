// Whether a build would use the stand-in DS-side images instead of Quillmere's own.
#pragma once

#include <string>
#include <vector>

#include "builder/ds_inputs.h"

namespace pellix {

// The images of `inputs` (7.bin, then 9.bin) that are Pellix's stand-ins, told by the
// marker they carry, as full paths. A missing or unreadable image is not listed: the build
// itself says what is wrong with it.
std::vector<std::string> StandInImages(const DsInputs& inputs);

// One line for the user naming `standIns` and saying where Quillmere's own images go:
// `userFolder`, or in the stand-ins' place when the user has no folder (""). "" when there
// are no stand-ins.
std::string StandInWarning(const std::vector<std::string>& standIns, const std::string& userFolder);

// The warning for the next build of the installation at `appDir`, "" when it uses no
// stand-in.
std::string StandInNotice(const std::string& appDir);

}  // namespace pellix
