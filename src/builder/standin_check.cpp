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

std::vector<std::string> StandInImages(const std::string& appDir) {
    std::vector<std::string> found;
    const fs::path bin = files::ToPath(appDir) / "bin";
    for (const char* name : {"7.bin", "9.bin"}) {
        const fs::path image = bin / name;
        if (CarriesMarker(image)) found.push_back(image.u8string());
    }
    return found;
}

std::string StandInWarning(const std::vector<std::string>& standIns) {
    if (standIns.empty()) return "";
    std::string files = standIns[0];
    for (std::size_t i = 1; i < standIns.size(); ++i)
        files += (i + 1 == standIns.size() ? " and " : ", ") + standIns[i];
    const bool one = standIns.size() == 1;
    return files + (one ? " is a stand-in" : " are stand-ins") +
           " that Pellix ships, and packages made with " + (one ? "it" : "them") +
           " do nothing on a DS. Replace " + (one ? "it" : "them") +
           " with Quillmere's own ARM7 and ARM9 images (see README.txt).";
}

}  // namespace pellix
