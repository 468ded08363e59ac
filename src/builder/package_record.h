// What a package is made of, reduced to a digest kept in the package's stamp, and the
// judgement of a package already there: current, stale, or changed since it was built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellix {

// The digest of the DS images and data files a working folder holds before the ROM is
// staged (7.bin, 9.bin and every file below data/, with their names): what a build packs
// besides the ROM, wherever the working folder took it from. Throws files::FileError.
std::uint64_t StagedFilesDigest(const std::string& workFolder);

// Everything a package is made of.
struct PackageInputs {
    std::uint64_t stagedFiles = 0;        // StagedFilesDigest of the build's working folder
    std::string rom;                      // the ROM file, absolute
    std::string icon;                     // the icon file the build converts, absolute
    std::string border;                   // the border file, absolute
    std::vector<std::string> titleLines;  // the lines the banner shows (BannerLines)
    bool psram = true;
    bool compression = true;
};

// The digest of `inputs`: the files' bytes and every value. With compression the ROM's
// modification time counts too, since gzip keeps it in the package. Throws
// files::FileError naming a file that cannot be read.
std::uint64_t InputsDigest(const PackageInputs& inputs);

// Appends a stamp holding `inputs` to the package at `package`; done before efs records
// the file's size, so the size the DS side reads includes it. Throws files::FileError.
void AppendStamp(const std::string& package, std::uint64_t inputs);

// Writes the digest of the finished package into its stamp; done after the last program
// has changed it. Throws files::FileError.
void SealStamp(const std::string& package);

enum class PackageState {
    Current,        // made from these very inputs, and unchanged since
    Stale,          // made by a build from other inputs, and unchanged since
    ChangedByHand,  // changed since it was built, or not made by a build at all
};

// Judges the package at `package` against the inputs digest a build would stamp now.
// Throws files::FileError when it cannot be read.
PackageState JudgePackage(const std::string& package, std::uint64_t inputs);

}  // namespace pellix
