// Parses DS program files defensively: every offset and length is checked before use.
#include "formats/nds_reader.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "formats/byte_order.h"
#include "formats/crc16.h"
#include "formats/file_bytes.h"
#include "formats/nds_format.h"

namespace pellix::formats {
namespace {

// Names of all files together may not grow past this: a crafted table could otherwise
// repeat a long folder chain for every file.
constexpr size_t kMaxPathBytes = 64u << 20;

std::string FixedText(const uint8_t* p, size_t size) {
    size_t n = 0;
    while (n < size && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

bool Inside(uint64_t offset, uint64_t size, uint64_t total) {
    return offset <= total && size <= total - offset;
}

void ReadFileTree(NdsPackage& pkg) {
    if (pkg.fntSize == 0 && pkg.fatSize == 0) return;
    const uint64_t total = pkg.bytes.size();
    if (!Inside(pkg.fntOffset, pkg.fntSize, total))
        throw FormatError("the file name table lies outside the package");
    if (!Inside(pkg.fatOffset, pkg.fatSize, total))
        throw FormatError("the file allocation table lies outside the package");
    const uint8_t* fnt = pkg.bytes.data() + pkg.fntOffset;
    const uint32_t fntSize = pkg.fntSize;
    const uint32_t fileCount = pkg.fatSize / nds::kFatEntrySize;
    if (fntSize < nds::kFntMainEntrySize) throw FormatError("the file name table is cut short");
    const uint32_t dirCount = get_u16le(fnt + 6);
    if (dirCount == 0 || dirCount > nds::kMaxDirs ||
        uint64_t{dirCount} * nds::kFntMainEntrySize > fntSize) {
        throw FormatError("the file name table claims " + std::to_string(dirCount) + " folders");
    }

    std::vector<bool> visited(dirCount, false);
    std::vector<std::pair<uint32_t, std::string>> pending{{0, ""}};  // directory index, path prefix
    size_t pathBytes = 0;
    visited[0] = true;
    while (!pending.empty()) {
        const auto [dir, prefix] = std::move(pending.back());
        pending.pop_back();
        const uint8_t* main = fnt + size_t{dir} * nds::kFntMainEntrySize;
        uint64_t pos = get_u32le(main);
        uint32_t fileId = get_u16le(main + 4);
        std::vector<std::pair<uint32_t, std::string>> children;
        for (;;) {
            if (pos >= fntSize) throw FormatError("the file name table is cut short");
            const uint8_t lengthByte = fnt[pos++];
            if (lengthByte == 0) break;
            const size_t length = lengthByte & 0x7F;
            const bool isDir = (lengthByte & nds::kFntDirFlag) != 0;
            if (length == 0 || pos + length + (isDir ? 2 : 0) > fntSize) {
                throw FormatError("the file name table is cut short");
            }
            std::string path =
                prefix + std::string(reinterpret_cast<const char*>(fnt + pos), length);
            pos += length;
            pathBytes += path.size();
            if (pathBytes > kMaxPathBytes) throw FormatError("the file names are implausibly long");
            if (isDir) {
                const uint32_t id = get_u16le(fnt + pos);
                pos += 2;
                if (id < nds::kRootDirId || id - nds::kRootDirId >= dirCount) {
                    throw FormatError("the file name table names folder id " + std::to_string(id) +
                                      ", which does not exist");
                }
                const uint32_t child = id - nds::kRootDirId;
                if (visited[child])
                    throw FormatError("the file name table lists folder id " + std::to_string(id) +
                                      " twice");
                visited[child] = true;
                children.emplace_back(child, path + "/");
            } else {
                if (fileId >= fileCount) {
                    throw FormatError("file id " + std::to_string(fileId) +
                                      " has no entry in the file allocation table");
                }
                const uint8_t* fat =
                    pkg.bytes.data() + pkg.fatOffset + size_t{fileId} * nds::kFatEntrySize;
                NdsFileEntry entry;
                entry.id = static_cast<uint16_t>(fileId);
                entry.path = std::move(path);
                entry.start = get_u32le(fat);
                entry.end = get_u32le(fat + 4);
                if (entry.start > entry.end || entry.end > total) {
                    throw FormatError("the file " + entry.path + " lies outside the package");
                }
                pkg.files.push_back(std::move(entry));
                ++fileId;
            }
        }
        // Depth-first in table order: the first child is taken next.
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(std::move(*it));
    }
    std::stable_sort(pkg.files.begin(), pkg.files.end(),
                     [](const NdsFileEntry& a, const NdsFileEntry& b) { return a.id < b.id; });
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string CrcLine(const char* label, const NdsCrc& crc) {
    return std::string(label) + Hex(crc.stored, 4) +
           (crc.ok() ? " OK" : " INVALID (computed " + Hex(crc.computed, 4) + ")") + "\n";
}

}  // namespace

NdsPackage ReadNds(std::vector<uint8_t> bytes) {
    NdsPackage pkg;
    pkg.bytes = std::move(bytes);
    const uint8_t* h = pkg.bytes.data();
    if (pkg.bytes.size() < nds::kHeaderSize) {
        throw FormatError("too short to be a DS program (" + std::to_string(pkg.bytes.size()) +
                          " bytes)");
    }
    pkg.title = FixedText(h + nds::kTitle, nds::kTitleSize);
    pkg.gameCode = FixedText(h + nds::kGameCode, nds::kGameCodeSize);
    pkg.makerCode = FixedText(h + nds::kMakerCode, nds::kMakerCodeSize);
    pkg.deviceCapacity = h[nds::kDeviceCapacity];
    pkg.romVersion = h[nds::kRomVersion];
    pkg.autostart = h[nds::kAutostart];
    pkg.arm9Offset = get_u32le(h + nds::kArm9RomOffset);
    pkg.arm9Entry = get_u32le(h + nds::kArm9Entry);
    pkg.arm9Load = get_u32le(h + nds::kArm9Load);
    pkg.arm9Size = get_u32le(h + nds::kArm9Size);
    pkg.arm7Offset = get_u32le(h + nds::kArm7RomOffset);
    pkg.arm7Entry = get_u32le(h + nds::kArm7Entry);
    pkg.arm7Load = get_u32le(h + nds::kArm7Load);
    pkg.arm7Size = get_u32le(h + nds::kArm7Size);
    pkg.fntOffset = get_u32le(h + nds::kFntOffset);
    pkg.fntSize = get_u32le(h + nds::kFntSize);
    pkg.fatOffset = get_u32le(h + nds::kFatOffset);
    pkg.fatSize = get_u32le(h + nds::kFatSize);
    pkg.bannerOffset = get_u32le(h + nds::kBannerOffset);
    pkg.totalUsedSize = get_u32le(h + nds::kTotalUsedSize);
    pkg.headerSize = get_u32le(h + nds::kHeaderSizeField);
    pkg.headerCrc = {get_u16le(h + nds::kHeaderCrc), Crc16(h, nds::kHeaderCrc)};
    pkg.logoCrc = {get_u16le(h + nds::kLogoCrc), Crc16(h + nds::kLogo, nds::kLogoSize)};
    const size_t secureEnd = std::min<size_t>(nds::kSecureAreaEnd, pkg.bytes.size());
    const size_t secureStart = std::min<size_t>(pkg.arm9Offset, secureEnd);
    pkg.secureAreaCrc = {get_u16le(h + nds::kSecureAreaCrc),
                         Crc16(h + secureStart, secureEnd - secureStart)};

    if (pkg.bannerOffset != 0) {
        if (!Inside(pkg.bannerOffset, nds::kBannerSize, pkg.bytes.size())) {
            throw FormatError("the banner lies outside the package");
        }
        pkg.hasBanner = true;
        pkg.banner = DecodeBanner(h + pkg.bannerOffset);
    }
    ReadFileTree(pkg);
    return pkg;
}

NdsPackage ReadNdsFile(const std::string& path) {
    try {
        return ReadNds(ReadFileBytes(path));
    } catch (const FileError&) {
        throw;
    } catch (const FormatError& e) {
        throw FileError(path, e.what());
    }
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string DescribeNds(const NdsPackage& p) {
    std::string s;
    s += "Title:            " + p.title + "\n";
    s += "Game code:        " + p.gameCode + "\n";
    s += "Maker code:       " + p.makerCode + "\n";
    s += "ROM version:      " + std::to_string(p.romVersion) + "\n";
    s += "Device capacity:  " + std::to_string(p.deviceCapacity) + " (" +
         std::to_string(128u << std::min<unsigned>(p.deviceCapacity, 20)) + " KiB)\n";
    s += "ARM9:             offset " + Hex(p.arm9Offset, 8) + ", size " + Hex(p.arm9Size, 8) +
         ", entry " + Hex(p.arm9Entry, 8) + ", load " + Hex(p.arm9Load, 8) + "\n";
    s += "ARM7:             offset " + Hex(p.arm7Offset, 8) + ", size " + Hex(p.arm7Size, 8) +
         ", entry " + Hex(p.arm7Entry, 8) + ", load " + Hex(p.arm7Load, 8) + "\n";
    s += "File name table:  offset " + Hex(p.fntOffset, 8) + ", size " + Hex(p.fntSize, 8) + "\n";
    s += "File alloc table: offset " + Hex(p.fatOffset, 8) + ", size " + Hex(p.fatSize, 8) + " (" +
         std::to_string(p.files.size()) + " files)\n";
    s += "Banner offset:    " + Hex(p.bannerOffset, 8) + "\n";
    s += "Total used size:  " + Hex(p.totalUsedSize, 8) + " (file " +
         std::to_string(p.bytes.size()) + " bytes)\n";
    s += CrcLine("Header CRC:       ", p.headerCrc);
    s += CrcLine("Logo CRC:         ", p.logoCrc);
    s += CrcLine("Secure area CRC:  ", p.secureAreaCrc);
    if (p.hasBanner) {
        s += "Banner version:   " + std::to_string(p.banner.version) + "\n";
        s += CrcLine("Banner CRC:       ", NdsCrc{p.banner.storedCrc, p.banner.computedCrc});
        static const char* const kLanguages[] = {"Japanese", "English", "French",
                                                 "German",   "Italian", "Spanish"};
        for (size_t i = 0; i < nds::kTitleCount; ++i) {
            std::string title = ToUtf8(p.banner.titles[i]);
            std::replace(title.begin(), title.end(), '\n', ';');
            std::string label = std::string(kLanguages[i]) + " title:";
            label.resize(18, ' ');
            s += label + title + "\n";
        }
    }
    return s;
}

std::string ListNdsFiles(const NdsPackage& p) {
    std::string s;
    for (const NdsFileEntry& f : p.files) {
        char line[64];
        std::snprintf(line, sizeof line, "%5u 0x%08X 0x%08X %10u ", static_cast<unsigned>(f.id),
                      f.start, f.end, f.end - f.start);
        s += line;
        s += "/" + f.path + "\n";
    }
    return s;
}

}  // namespace pellix::formats
