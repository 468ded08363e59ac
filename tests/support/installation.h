// A Pellix installation laid out in a scratch folder, for tests and benchmarks that run
// pellix-cli as a user would.
#pragma once

#include <filesystem>
#include <string>

namespace pellix::testing {

// The programs an installation is made of; gzip may be any program that acts like it.
struct Programs {
    std::string cli, grit, gbacrusher, ndstool, efs, gzip;
    std::string standinDir;  // holds 7.bin and 9.bin
    std::string gfxDir;      // holds icon.bmp and border.bmp
};

// Lays out a portable folder in `root` as the installation does: pellix-cli at the top,
// the programs, the images and an empty data/ in bin/, the pictures in gfx/.
void MakeInstallation(const std::filesystem::path& root, const Programs& programs);

}  // namespace pellix::testing
