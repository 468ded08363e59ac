// Builds and decodes the DS menu banner (icon tiles, BGR555 palette, six titles, CRC).
#include "formats/banner.h"

#include "formats/byte_order.h"
#include "formats/crc16.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/nds_format.h"

namespace pellix::formats {
namespace {

// Decodes one UTF-8 sequence at text[i]; advances i. Returns the code point or throws.
char32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto lead = static_cast<uint8_t>(text[i]);
    int extra;
    char32_t cp;
    char32_t min;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1Fu, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0Fu, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07u, min = 0x10000;
    } else {
        throw FormatError("the banner text is not valid UTF-8");
    }
    if (text.size() - i <= static_cast<size_t>(extra))
        throw FormatError("the banner text is not valid UTF-8");
    for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<uint8_t>(text[i + k]);
        if ((next & 0xC0) != 0x80) throw FormatError("the banner text is not valid UTF-8");
        cp = (cp << 6) | (next & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        throw FormatError("the banner text is not valid UTF-8");
    }
    i += static_cast<size_t>(extra) + 1;
    return cp;
}

uint16_t Bgr555(Rgb8 c) {
    return static_cast<uint16_t>((c.r >> 3) | ((c.g >> 3) << 5) | ((c.b >> 3) << 10));
}

}  // namespace

void CheckIcon(const Picture& icon) {
    if (icon.width != nds::kIconSize || icon.height != nds::kIconSize) {
        throw FormatError("the icon must be 32 x 32 pixels, not " + std::to_string(icon.width) +
                          " x " + std::to_string(icon.height));
    }
    const int bpp = icon.bitsPerPixel;
    if (!icon.paletted() || (bpp != 1 && bpp != 4 && bpp != 8)) {
        throw FormatError(
            "the icon must be a bitmap with a palette (1, 4 or 8 bits per pixel), not " +
            std::to_string(bpp) + " bits per pixel");
    }
    const size_t pixels = static_cast<size_t>(nds::kIconSize) * nds::kIconSize;
    if (icon.indices.size() != pixels) throw FormatError("the icon's pixel data is incomplete");
    for (uint8_t index : icon.indices) {
        if (index >= nds::kIconColours) {
            throw FormatError("the icon uses colour index " + std::to_string(index) +
                              "; a DS icon has at most 16 colours (indices 0 to 15)");
        }
    }
}

std::u16string BannerTitle(const std::string& utf8, bool semicolonBreaks) {
    std::u16string units;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        if (cp == U';' && semicolonBreaks) {
            units.push_back(nds::kTitleLineBreak);
        } else if (cp >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    if (units.size() > nds::kTitleUnits) {
        throw FormatError("the banner text is " + std::to_string(units.size()) +
                          " UTF-16 units long; at most 128 fit");
    }
    return units;
}

namespace {

// Windows-1252 for the bytes 0x80 to 0x9F; 0 where it has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

size_t UnitsOf(char32_t cp) {
    return cp >= 0x10000 ? 2 : 1;
}

}  // namespace

std::string ReadableText(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        const size_t start = i;
        char32_t cp;
        try {
            cp = NextCodePoint(bytes, i);
        } catch (const FormatError&) {
            const auto byte = static_cast<uint8_t>(bytes[start]);
            i = start + 1;
            cp = byte >= 0xA0 ? byte : kCp1252High[byte - 0x80];
            if (cp == 0) cp = 0xFFFD;
        }
        if (cp < 0x20 || cp == 0x7F) cp = U' ';
        AppendUtf8(out, cp);
    }
    return out;
}

size_t BannerUnits(const std::string& utf8) {
    size_t units = 0;
    for (size_t i = 0; i < utf8.size();) units += UnitsOf(NextCodePoint(utf8, i));
    return units;
}

std::string CutToUnits(const std::string& utf8, size_t units) {
    size_t taken = 0;
    for (size_t i = 0; i < utf8.size();) {
        const size_t start = i;
        taken += UnitsOf(NextCodePoint(utf8, i));
        if (taken > units) return utf8.substr(0, start);
    }
    return utf8;
}

std::vector<uint8_t> MakeBanner(const Picture& icon, const std::string& utf8Text,
                                bool semicolonBreaks) {
    CheckIcon(icon);
    const std::u16string title = BannerTitle(utf8Text, semicolonBreaks);

    std::vector<uint8_t> banner(nds::kBannerSize, 0);
    put_u16le(&banner[nds::kBannerVersion], nds::kBannerVersionValue);

    // Tiles in row-major order; within a tile 8 rows of 4 bytes, the left pixel in the low nibble.
    uint8_t* tiles = &banner[nds::kBannerIcon];
    const int tilesPerRow = nds::kIconSize / nds::kIconTile;
    for (int y = 0; y < nds::kIconSize; ++y) {
        for (int x = 0; x < nds::kIconSize; x += 2) {
            const int tile = (y / nds::kIconTile) * tilesPerRow + x / nds::kIconTile;
            const size_t at = static_cast<size_t>(tile) * 32 + (y % nds::kIconTile) * 4 +
                              (x % nds::kIconTile) / 2;
            const size_t p = static_cast<size_t>(y) * nds::kIconSize + x;
            tiles[at] = static_cast<uint8_t>(icon.indices[p] | (icon.indices[p + 1] << 4));
        }
    }
    for (size_t i = 0; i < nds::kIconColours && i < icon.palette.size(); ++i) {
        put_u16le(&banner[nds::kBannerPalette + 2 * i], Bgr555(icon.palette[i]));
    }
    for (size_t lang = 0; lang < nds::kTitleCount; ++lang) {
        uint8_t* out = &banner[nds::kBannerTitles + lang * nds::kTitleUnits * 2];
        for (size_t i = 0; i < title.size(); ++i) put_u16le(out + 2 * i, title[i]);
    }
    put_u16le(&banner[nds::kBannerCrc],
              Crc16(&banner[nds::kBannerCrcStart], nds::kBannerSize - nds::kBannerCrcStart));
    return banner;
}

Picture ReadIconFile(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        throw FormatError("the icon must be a Windows bitmap (.bmp) with a palette");
    }
    Picture icon = ReadBitmap(bytes.data(), bytes.size());
    CheckIcon(icon);
    return icon;
}

BannerContents DecodeBanner(const uint8_t* data) {
    BannerContents banner;
    banner.version = get_u16le(data + nds::kBannerVersion);
    banner.storedCrc = get_u16le(data + nds::kBannerCrc);
    banner.computedCrc =
        Crc16(data + nds::kBannerCrcStart, nds::kBannerSize - nds::kBannerCrcStart);
    banner.iconIndices.resize(static_cast<size_t>(nds::kIconSize) * nds::kIconSize);
    const uint8_t* tiles = data + nds::kBannerIcon;
    for (int y = 0; y < nds::kIconSize; ++y) {
        for (int x = 0; x < nds::kIconSize; ++x) {
            const int tile =
                (y / nds::kIconTile) * (nds::kIconSize / nds::kIconTile) + x / nds::kIconTile;
            const uint8_t byte =
                tiles[tile * 32 + (y % nds::kIconTile) * 4 + (x % nds::kIconTile) / 2];
            banner.iconIndices[static_cast<size_t>(y) * nds::kIconSize + x] =
                static_cast<uint8_t>((x & 1) ? byte >> 4 : byte & 0x0F);
        }
    }
    for (size_t i = 0; i < nds::kIconColours; ++i) {
        const uint16_t c = get_u16le(data + nds::kBannerPalette + 2 * i);
        banner.palette[i] = Rgb8{static_cast<uint8_t>((c & 0x1F) << 3),
                                 static_cast<uint8_t>(((c >> 5) & 0x1F) << 3),
                                 static_cast<uint8_t>(((c >> 10) & 0x1F) << 3)};
    }
    for (size_t lang = 0; lang < nds::kTitleCount; ++lang) {
        const uint8_t* in = data + nds::kBannerTitles + lang * nds::kTitleUnits * 2;
        for (size_t i = 0; i < nds::kTitleUnits; ++i) {
            const char16_t unit = static_cast<char16_t>(get_u16le(in + 2 * i));
            if (unit == 0) break;
            banner.titles[lang].push_back(unit);
        }
    }
    return banner;
}

}  // namespace pellix::formats
