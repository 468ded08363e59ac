// Writes a DS program file: header, ARM9 and ARM7 images, file system, banner, file data.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "formats/nds_filesystem.h"

namespace pellix::formats {

// The identifying header fields.
struct NdsGameInfo {
    std::string gameCode;   // exactly 4 characters, or empty for none
    std::string makerCode;  // exactly 2 characters, or empty for none
    std::string title;      // at most 12 bytes
    uint8_t romVersion = 0;
};

// Where each part of the package goes; every offset is a multiple of 0x200.
struct NdsLayout {
    uint32_t arm9Offset = 0, arm9Size = 0;  // sizes rounded up to 4
    uint32_t arm7Offset = 0, arm7Size = 0;
    uint32_t fntOffset = 0, fntSize = 0;
    uint32_t fatOffset = 0, fatSize = 0;
    uint32_t bannerOffset = 0;                         // 0 when there is no banner
    std::vector<std::pair<uint32_t, uint32_t>> files;  // start, end (exclusive) per file id
    uint32_t usedSize = 0;                             // the file's length, a multiple of 4
};

// Places the parts in file order. Throws FormatError when the package would not fit
// the header's 32-bit offsets.
NdsLayout PlanLayout(uint64_t arm9Bytes, uint64_t arm7Bytes, uint64_t fntBytes, bool withBanner,
                     const std::vector<uint64_t>& fileSizes);

// The header's device capacity field for a package of `usedSize` bytes.
uint8_t DeviceCapacity(uint32_t usedSize);

// Checks the game info against the field sizes. Throws FormatError naming the field.
void CheckGameInfo(const NdsGameInfo& info);

// The 0x200-byte header with both CRCs; `arm9` is the ARM9 image, for the secure-area CRC.
std::vector<uint8_t> BuildHeader(const NdsGameInfo& info, const NdsLayout& layout,
                                 const std::vector<uint8_t>& arm9);

// The file allocation table for `layout.files`.
std::vector<uint8_t> BuildFat(const NdsLayout& layout);

// What ndstool -c is asked to make.
struct NdsRequest {
    std::string output;      // the .nds to write
    std::string arm9, arm7;  // raw ARM binaries
    std::string dataFolder;  // the file system's root folder, empty for none
    NdsGameInfo info;
    bool withBanner = false;
    std::string icon;        // banner icon, a 32 x 32 paletted bitmap
    std::string bannerText;  // UTF-8; a line break, and a ';' unless semicolonIsText, starts a line
    bool semicolonIsText = false;
};

// Writes the package. All inputs are read and checked first; the data is then written to
// a temporary file beside the output and renamed into place, so a failure never leaves a
// partial package. Throws FileError naming the file at fault (the output for the header
// fields and banner text).
void WriteNds(const NdsRequest& request);

}  // namespace pellix::formats
