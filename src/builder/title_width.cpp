// Title lines measured in the preview's font, and names broken into lines that fit the menu.
#include "builder/title_width.h"

#include <cstdint>

namespace pellix {

namespace {

// The preview draws its titles in the design's "MS Sans Serif" at 8.25 points; where that
// face is missing the front ends take Liberation Sans, which has Arial's advance widths.
// Those widths, in units of 2048 to the em, for U+0020 to U+007E and U+00A0 to U+00FF.
constexpr int kUnitsPerEm = 2048;
constexpr double kPixelsPerEm = 8.25 * 96 / 72;
constexpr std::uint16_t kAsciiAdvance[95] = {
    569,  569,  727,  1139, 1139, 1821, 1366, 391,  682,  682,  797,  1196, 569,  682,  569,  569,
    1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 1139, 569,  569,  1196, 1196, 1196, 1139,
    2079, 1366, 1366, 1479, 1479, 1366, 1251, 1593, 1479, 569,  1024, 1366, 1139, 1706, 1479, 1593,
    1366, 1593, 1479, 1366, 1251, 1479, 1366, 1933, 1366, 1366, 1251, 569,  569,  569,  961,  1139,
    682,  1139, 1139, 1024, 1139, 1139, 569,  1139, 1139, 455,  455,  1024, 455,  1706, 1139, 1139,
    1139, 1139, 682,  1024, 569,  1139, 1024, 1479, 1024, 1024, 1024, 684,  532,  684,  1196,
};
constexpr std::uint16_t kLatin1Advance[96] = {
    569,  682,  1139, 1139, 1139, 1139, 532,  1139, 682,  1509, 758,  1139, 1196, 682,  1509, 1131,
    819,  1124, 682,  682,  682,  1180, 1100, 569,  682,  682,  748,  1139, 1708, 1708, 1708, 1251,
    1366, 1366, 1366, 1366, 1366, 1366, 2048, 1479, 1366, 1366, 1366, 1366, 569,  569,  569,  569,
    1479, 1479, 1593, 1593, 1593, 1593, 1593, 1196, 1593, 1479, 1479, 1479, 1479, 1366, 1366, 1251,
    1139, 1139, 1139, 1139, 1139, 1139, 1821, 1024, 1139, 1139, 1139, 1139, 569,  569,  569,  569,
    1139, 1139, 1139, 1139, 1139, 1139, 1139, 1124, 1251, 1139, 1139, 1139, 1139, 1024, 1139, 1024,
};
// Other letters: the width of a digit; ideographs, kana and hangul fill the em.
constexpr std::uint16_t kOtherAdvance = 1139;
constexpr std::uint16_t kWideAdvance = kUnitsPerEm;

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
}

int Advance(char32_t c) {
    if (c >= 0x20 && c <= 0x7E) return kAsciiAdvance[c - 0x20];
    if (c >= 0xA0 && c <= 0xFF) return kLatin1Advance[c - 0xA0];
    if (c < 0x20 || (c >= 0x300 && c <= 0x36F) || (c >= 0x200B && c <= 0x200F)) return 0;
    return IsWide(c) ? kWideAdvance : kOtherAdvance;
}

// The next code point of `text` from `at`, moving `at` past it; a byte that starts no
// valid sequence stands for itself as U+FFFD.
char32_t NextCodePoint(const std::string& text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int length = lead < 0x80                   ? 1
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                       : lead >= 0xE0                ? 3
                       : lead >= 0xC2 && lead < 0xE0 ? 2
                                                     : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return lead < 0x80 ? lead : 0xFFFD;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return 0xFFFD;
        }
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    at += length;
    return c;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A place to break a line: the line before it and the text after it.
struct Break {
    std::string head;
    std::string tail;
};

// The breaks of one kind in `text`, latest first.
std::vector<Break> BreaksOfKind(const std::string& text, int kind) {
    std::vector<Break> breaks;
    const std::string mark = kind == 0 ? " - " : kind == 1 ? "(" : " ";
    for (std::size_t at = text.rfind(mark); at != std::string::npos && at > 0;
         at = text.rfind(mark, at - 1)) {
        const std::size_t after = kind == 1 ? at : at + mark.size();
        Break b{Trimmed(text.substr(0, at)), Trimmed(text.substr(after))};
        if (!b.head.empty() && !b.tail.empty()) breaks.push_back(b);
    }
    return breaks;
}

// The break that leaves the widest fitting first line of the first kind that has one; when
// none fits, the first word alone.
Break NextBreak(const std::string& text) {
    for (int kind = 0; kind < 3; ++kind)
        for (const Break& b : BreaksOfKind(text, kind))
            if (TitleLineFits(b.head)) return b;
    const std::size_t space = text.find(' ');
    if (space == std::string::npos) return {text, ""};
    return {text.substr(0, space), Trimmed(text.substr(space + 1))};
}

}  // namespace

double TitleLineWidth(const std::string& line) {
    long long units = 0;
    for (std::size_t at = 0; at < line.size();) units += Advance(NextCodePoint(line, at));
    return static_cast<double>(units) * kPixelsPerEm / kUnitsPerEm;
}

bool TitleLineFits(const std::string& line) {
    return TitleLineWidth(line) <= kTitleAreaPixels;
}

FittedTitle FitTitle(const std::string& name) {
    FittedTitle fitted;
    std::string rest = Trimmed(name);
    while (!rest.empty()) {
        if (TitleLineFits(rest)) {
            fitted.lines.push_back(rest);
            return fitted;
        }
        const Break b = NextBreak(rest);
        fitted.lines.push_back(b.head);
        rest = b.tail;
        if (fitted.lines.size() == 3) {
            fitted.dropped = rest;
            return fitted;
        }
    }
    if (fitted.lines.empty()) fitted.lines.push_back("");
    return fitted;
}

std::vector<int> CutTitleLines(const std::string titles[3]) {
    std::vector<int> cut;
    // The banner ends at its first blank line; what follows is never shown.
    for (int i = 0; i < 3 && !Trimmed(titles[i]).empty(); ++i)
        if (!TitleLineFits(titles[i])) cut.push_back(i + 1);
    return cut;
}

}  // namespace pellix
