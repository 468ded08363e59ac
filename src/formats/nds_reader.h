// Reads a DS program file back: header fields, CRC checks, banner and file tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/banner.h"

namespace pellix::formats {

// One file of the package's file system.
struct NdsFileEntry {
    uint16_t id = 0;
    std::string path;  // '/'-separated, below the root ("sub/a.txt")
    uint32_t start = 0, end = 0;
};

// A CRC as stored and as recomputed from the bytes it covers.
struct NdsCrc {
    uint16_t stored = 0;
    uint16_t computed = 0;
    bool ok() const { return stored == computed; }
};

struct NdsPackage {
    std::vector<uint8_t> bytes;              // the whole file
    std::string title, gameCode, makerCode;  // up to the first NUL
    uint8_t deviceCapacity = 0, romVersion = 0, autostart = 0;
    uint32_t arm9Offset = 0, arm9Entry = 0, arm9Load = 0, arm9Size = 0;
    uint32_t arm7Offset = 0, arm7Entry = 0, arm7Load = 0, arm7Size = 0;
    uint32_t fntOffset = 0, fntSize = 0, fatOffset = 0, fatSize = 0;
    uint32_t bannerOffset = 0, totalUsedSize = 0, headerSize = 0;
    NdsCrc headerCrc, logoCrc, secureAreaCrc;
    bool hasBanner = false;
    BannerContents banner;            // valid when hasBanner
    std::vector<NdsFileEntry> files;  // in file-id order

    // The bytes of one file; the reader has checked that they lie inside the package.
    const uint8_t* Data(const NdsFileEntry& file) const { return bytes.data() + file.start; }
    std::vector<uint8_t> Contents(const NdsFileEntry& file) const {
        return std::vector<uint8_t>(bytes.begin() + file.start, bytes.begin() + file.end);
    }
};

// Takes a package apart. Any input is safe: a damaged one gives FormatError with a
// one-line reason, never a read outside `bytes`. A wrong CRC is reported, not an error.
NdsPackage ReadNds(std::vector<uint8_t> bytes);

// Reads `path` and takes it apart. Throws FileError naming the file.
NdsPackage ReadNdsFile(const std::string& path);

// UTF-8 for display; a unit that is no valid UTF-16 becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);

// The summary ndstool -i prints: header fields, CRC checks (OK or INVALID), banner titles.
std::string DescribeNds(const NdsPackage& package);

// The listing ndstool -l prints: one line per file, "id start end size /path".
std::string ListNdsFiles(const NdsPackage& package);

}  // namespace pellix::formats
