// Where a build takes the DS-side images and the data files from: the user's own folder
// first, then the installation's bin folder.
#pragma once

#include <string>
#include <vector>

namespace pellix {

// The user's own folder for DS-side images and data files: "pellix" in the user's data
// folder (~/.local/share/pellix), "Pellix" on Windows (%LOCALAPPDATA%\Pellix); "" when the
// system names no data folder for the user. It need not exist.
std::string UserFolder();

// The files a build of one installation packs besides its own.
struct DsInputs {
    std::string arm7;                      // the 7.bin handed to ndstool, full path
    std::string arm9;                      // the 9.bin
    std::vector<std::string> dataFolders;  // each packed whole: bin/data, then the user's data
};

// What a build of the installation at `appDir` uses: each image from `userFolder` when
// something of its name is there (so a broken one is told of, not passed over in silence),
// else from bin; bin/data, and the user's data when it is there. A user folder that does
// not exist, cannot be read or is "" leaves the installation's files alone.
DsInputs FindDsInputs(const std::string& appDir, const std::string& userFolder = UserFolder());

// "DS images: A and B": which images a build uses, for a report.
std::string DsImagesNote(const DsInputs& inputs);

}  // namespace pellix
