// The DS menu banner: a 32 x 32 icon in 16 colours and the title in six languages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/picture.h"

namespace pellix::formats {

// Decodes UTF-8 banner text to UTF-16, a line break (U+000A) ending each line. A ';'
// ends a line too, unless `semicolonBreaks` is false: then it is a character of its line.
// Throws FormatError when the text is not valid UTF-8 or needs more than 128 units.
std::u16string BannerTitle(const std::string& utf8, bool semicolonBreaks = true);

// `bytes` as UTF-8 a banner can show: valid UTF-8 stays as it is; a byte that is not
// part of valid UTF-8 is read as the Windows-1252 character it stands for (U+FFFD for the
// five codes that have none), so a name written by an older system reads as it was meant
// ("caf\xe9" becomes "café"); a control character, a line break included, becomes a space,
// so a line stays one line.
std::string ReadableText(const std::string& bytes);

// The UTF-16 units the valid UTF-8 `utf8` takes in a banner.
std::size_t BannerUnits(const std::string& utf8);

// The longest start of the valid UTF-8 `utf8` that takes at most `units` UTF-16 units,
// cut between characters.
std::string CutToUnits(const std::string& utf8, std::size_t units);

// Builds the 0x840-byte version 1 banner from a 32 x 32 paletted icon (1, 4 or 8 bits
// per pixel, indices 0..15) and UTF-8 text (lines as BannerTitle reads them), the same
// title in all six languages. Throws FormatError naming what is wrong with the icon or
// the text.
std::vector<uint8_t> MakeBanner(const Picture& icon, const std::string& utf8Text,
                                bool semicolonBreaks = true);

// Checks that `icon` can be a DS menu icon as it is: 32 x 32 pixels with a palette
// (1, 4 or 8 bits per pixel), every pixel using index 0 to 15. Throws FormatError
// naming what is wrong ("the icon must be 32 x 32 pixels, not 48 x 48").
void CheckIcon(const Picture& icon);

// Reads an icon file, which must be a Windows bitmap. Throws FormatError with the reason
// only ("no such file", "the icon must be 32 x 32 pixels, not 48 x 48"); the caller
// names the file. The picture is checked the same way MakeBanner checks it.
Picture ReadIconFile(const std::string& path);

// A banner taken apart again.
struct BannerContents {
    uint16_t version = 0;
    uint16_t storedCrc = 0;
    uint16_t computedCrc = 0;              // over bytes 0x20..0x83F as found
    std::vector<uint8_t> iconIndices;      // 32 x 32, row-major, top-down, 0..15
    std::array<Rgb8, 16> palette{};        // each channel widened from 5 bits (v << 3)
    std::array<std::u16string, 6> titles;  // up to the first zero unit
};

// Decodes the 0x840 bytes at `data`; the caller has checked that they are there.
BannerContents DecodeBanner(const uint8_t* data);

}  // namespace pellix::formats
