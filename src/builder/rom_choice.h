// What choosing a ROM proposes: output folder, title line 1 and whether PSRAM is offered.
#pragma once

#include <cstdint>
#include <string>

namespace pellix {

// ROMs larger than this do not fit in the DS-side PSRAM.
constexpr std::int64_t kPsramLimit = 16 * 1024 * 1024;

// The message shown when a chosen ROM is over kPsramLimit.
extern const char kRomTooLarge[];

// Everything the choice of one ROM sets off, for the window and for batch builds alike.
struct RomChoice {
    std::string romPath;       // as chosen
    std::string outputFolder;  // the folder part of romPath, trailing separator kept ("" if none)
    // The file name less ".gba" (any case), as a banner can show it: bytes that are not
    // UTF-8 read as Windows-1252 (formats::ReadableText).
    std::string name;
    std::string title1;  // the name, cut to a DS title's room

    std::int64_t size = 0;     // the ROM's size; 0 when it cannot be read
    bool psramAllowed = true;  // false when size > kPsramLimit: PSRAM is disabled and off
};

// Applies the ROM rules to `romPath` ("" gives empty texts and PSRAM allowed). Never throws.
RomChoice ChooseRom(const std::string& romPath);

}  // namespace pellix
