// The stand-in DS-side images shipped as bin/7.bin and bin/9.bin until Quillmere's own replace
// them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/byte_order.h"
#include "formats/nds_format.h"

namespace pellix::standins {

// ARM "b ." : branch to itself, the smallest idle loop.
constexpr uint32_t kIdleLoop = 0xEAFFFFFE;

inline void AppendNote(std::vector<uint8_t>& image, const std::string& note) {
    image.insert(image.end(), note.begin(), note.end());
    image.push_back(0);
    image.resize(formats::nds::AlignUp(image.size(), 4), 0);
}

inline std::vector<uint8_t> IdleLoop() {
    std::vector<uint8_t> image(4);
    formats::put_u32le(image.data(), kIdleLoop);
    return image;
}

// A raw ARM7 image: an idle loop followed by a note saying what it is.
inline std::vector<uint8_t> Arm7Standin() {
    std::vector<uint8_t> image = IdleLoop();
    AppendNote(image,
               std::string(formats::nds::kStandInMarker) +
                   "ARM7 IMAGE: an idle loop, not Quillmere. "
               "Replace bin/7.bin with Quillmere's own ARM7 image.");
    return image;
}

// A raw ARM9 image: an idle loop, a note, and an empty EFS section (marker, id and size,
// 256-byte path) for efs to patch.
inline std::vector<uint8_t> Arm9Standin() {
    std::vector<uint8_t> image = IdleLoop();
    AppendNote(image,
               std::string(formats::nds::kStandInMarker) +
                   "ARM9 IMAGE: an idle loop, not Quillmere. "
               "Replace bin/9.bin with Quillmere's own ARM9 image.");
    const size_t at = image.size();
    image.resize(at + formats::nds::kEfsSectionSize, 0);
    std::memcpy(&image[at], formats::nds::kEfsMarker, sizeof formats::nds::kEfsMarker);
    return image;
}

}  // namespace pellix::standins
