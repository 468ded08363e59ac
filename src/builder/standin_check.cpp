// Recognises the stand-in DS-side images by their marker, not by their size.
#include "builder/standin_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "builder/staging_files.h"
#include "formats/nds_format.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

bool CarriesMarker(const fs::path& image) {
    std::error_code ec;
    // A FIFO or device there must not block the check; the build refuses it later.
    if (!fs::is_regular_file(image, ec)) return false;
    std::ifstream file(image, std::ios::binary);
    if (!file) return false;
    std::string start(formats::nds::kStandInMarkerWindow, '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(file.gcount()));
    return start.find(formats::nds::kStandInMarker) != std::string::npos;
}

}  // namespace

std::vector<std::string> StandInImages(const DsInputs& inputs) {
    std::vector<std::string> found;
    for (const std::string& image : {inputs.arm7, inputs.arm9})
        if (CarriesMarker(files::ToPath(image))) found.push_back(image);
    return found;
}

std::string StandInWarning(const std::vector<std::string>& standIns,
                           const std::string& userFolder) {
    if (standIns.empty()) return "";
    std::string files = standIns[0];
    for (std::size_t i = 1; i < standIns.size(); ++i)
        files += (i + 1 == standIns.size() ? " and " : ", ") + standIns[i];
    const bool one = standIns.size() == 1;
    const std::string where =
        userFolder.empty() ? std::string(" in their place") : " in " + userFolder;
    return files + (one ? " is a stand-in" : " are stand-ins") +
           " that Pellix ships, and packages made with " + (one ? "it" : "them") +
           " do nothing on a DS. Put Quillmere's own ARM7 and ARM9 images, named 7.bin and "
           "9.bin," +
           where + " (see README.txt).";
}

std::string StandInNotice(const std::string& appDir) {
    const std::string user = UserFolder();
    return StandInWarning(StandInImages(FindDsInputs(appDir, user)), user);
}

}  // namespace pellix
