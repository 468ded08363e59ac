// Lays out and writes a DS program file, streaming the file data from disk.
#include "formats/nds_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

#include "formats/banner.h"
#include "formats/byte_order.h"
#include "formats/crc16.h"
#include "formats/file_bytes.h"
#include "formats/nds_format.h"

namespace fs = std::filesystem;

namespace pellix::formats {
namespace {

constexpr size_t kCopyChunk = 1 << 20;  // large writes keep the copy near disk speed

uint32_t Narrow(uint64_t value) {
    if (value > std::numeric_limits<uint32_t>::max()) {
        throw FormatError("the package would be larger than 4 GiB");
    }
    return static_cast<uint32_t>(value);
}

std::vector<uint8_t> ReadArmImage(const std::string& path) {
    std::vector<uint8_t> image;
    try {
        image = ReadFileBytes(path);
    } catch (const FileError&) {
        throw;
    } catch (const FormatError& e) {
        throw FileError(path, e.what());
    }
    static const uint8_t kElfMagic[4] = {0x7F, 'E', 'L', 'F'};
    if (image.size() >= 4 && std::memcmp(image.data(), kElfMagic, 4) == 0) {
        throw FileError(path, "an ELF file; give the raw ARM binary");
    }
    return image;
}

// Appends `size` bytes of `file` to `out`; the file must still hold them.
void CopyFileData(const NdsFsFile& file, PendingOutput& out, std::vector<uint8_t>& buffer) {
    std::FILE* in = std::fopen(file.source.c_str(), "rb");
    if (!in) throw FileError(file.source, "cannot read: " + ErrnoText(errno));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(in, std::fclose);
    uint64_t left = file.size;
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        const size_t got = std::fread(buffer.data(), 1, want, in);
        if (got != want) {
            if (std::ferror(in)) throw FileError(file.source, "cannot read: " + ErrnoText(errno));
            throw FileError(file.source, "the file became shorter while it was being packed");
        }
        out.Write(buffer.data(), got);
        left -= got;
    }
}

}  // namespace

NdsLayout PlanLayout(uint64_t arm9Bytes, uint64_t arm7Bytes, uint64_t fntBytes, bool withBanner,
                     const std::vector<uint64_t>& fileSizes) {
    using nds::AlignUp;
    NdsLayout layout;
    layout.arm9Offset = nds::kArm9Offset;
    layout.arm9Size = Narrow(AlignUp(arm9Bytes, nds::kEndAlign));
    layout.arm7Offset = Narrow(std::max<uint64_t>(
        AlignUp(uint64_t{layout.arm9Offset} + layout.arm9Size, nds::kSectionAlign),
        nds::kArm7MinOffset));
    layout.arm7Size = Narrow(AlignUp(arm7Bytes, nds::kEndAlign));
    layout.fntOffset =
        Narrow(AlignUp(uint64_t{layout.arm7Offset} + layout.arm7Size, nds::kSectionAlign));
    layout.fntSize = Narrow(fntBytes);
    layout.fatOffset =
        Narrow(AlignUp(uint64_t{layout.fntOffset} + layout.fntSize, nds::kSectionAlign));
    layout.fatSize = Narrow(fileSizes.size() * nds::kFatEntrySize);
    uint64_t end = uint64_t{layout.fatOffset} + layout.fatSize;
    if (withBanner) {
        layout.bannerOffset = Narrow(AlignUp(end, nds::kSectionAlign));
        end = uint64_t{layout.bannerOffset} + nds::kBannerSize;
    }
    for (uint64_t size : fileSizes) {
        const uint64_t start = AlignUp(end, nds::kSectionAlign);
        end = start + size;
        layout.files.emplace_back(Narrow(start), Narrow(end));
    }
    layout.usedSize = Narrow(AlignUp(end, nds::kEndAlign));
    return layout;
}

uint8_t DeviceCapacity(uint32_t usedSize) {
    uint64_t size = usedSize;
    for (unsigned shift = 1; shift < 64; shift <<= 1) size |= size >> shift;
    size = std::max<uint64_t>(size + 1, nds::kMinCardSize);
    uint8_t capacity = 0;
    while ((uint64_t{nds::kMinCardSize} << capacity) < size) ++capacity;
    return capacity;
}

void CheckGameInfo(const NdsGameInfo& info) {
    if (!info.gameCode.empty() && info.gameCode.size() != nds::kGameCodeSize) {
        throw FormatError("the game code must be exactly 4 characters, not " +
                          std::to_string(info.gameCode.size()));
    }
    if (!info.makerCode.empty() && info.makerCode.size() != nds::kMakerCodeSize) {
        throw FormatError("the maker code must be exactly 2 characters, not " +
                          std::to_string(info.makerCode.size()));
    }
    if (info.title.size() > nds::kTitleSize) {
        throw FormatError("the header title must be at most 12 bytes, not " +
                          std::to_string(info.title.size()));
    }
}

std::vector<uint8_t> BuildHeader(const NdsGameInfo& info, const NdsLayout& layout,
                                 const std::vector<uint8_t>& arm9) {
    CheckGameInfo(info);
    std::vector<uint8_t> h(nds::kHeaderSize, 0);
    std::copy(info.title.begin(), info.title.end(), h.begin() + nds::kTitle);
    std::copy(info.gameCode.begin(), info.gameCode.end(), h.begin() + nds::kGameCode);
    std::copy(info.makerCode.begin(), info.makerCode.end(), h.begin() + nds::kMakerCode);
    h[nds::kDeviceCapacity] = DeviceCapacity(layout.usedSize);
    h[nds::kRomVersion] = info.romVersion;
    h[nds::kAutostart] = nds::kAutostartValue;
    put_u32le(&h[nds::kArm9RomOffset], layout.arm9Offset);
    put_u32le(&h[nds::kArm9Entry], nds::kArm9RawAddress);
    put_u32le(&h[nds::kArm9Load], nds::kArm9RawAddress);
    put_u32le(&h[nds::kArm9Size], layout.arm9Size);
    put_u32le(&h[nds::kArm7RomOffset], layout.arm7Offset);
    put_u32le(&h[nds::kArm7Entry], nds::kArm7RawAddress);
    put_u32le(&h[nds::kArm7Load], nds::kArm7RawAddress);
    put_u32le(&h[nds::kArm7Size], layout.arm7Size);
    put_u32le(&h[nds::kFntOffset], layout.fntOffset);
    put_u32le(&h[nds::kFntSize], layout.fntSize);
    put_u32le(&h[nds::kFatOffset], layout.fatOffset);
    put_u32le(&h[nds::kFatSize], layout.fatSize);
    put_u32le(&h[nds::kNormalCardControl], nds::kNormalCardControlValue);
    put_u32le(&h[nds::kSecureCardControl], nds::kSecureCardControlValue);
    put_u32le(&h[nds::kBannerOffset], layout.bannerOffset);
    put_u16le(&h[nds::kSecureTransferDelay], nds::kSecureTransferDelayValue);
    put_u32le(&h[nds::kTotalUsedSize], layout.usedSize);
    put_u32le(&h[nds::kHeaderSizeField], nds::kHeaderSize);
    std::memcpy(&h[nds::kSaveTypeText], nds::kSaveTypeValue, sizeof nds::kSaveTypeValue - 1);
    std::memcpy(&h[nds::kPassText], nds::kPassValue, sizeof nds::kPassValue);

    // The secure area is what the file holds from the ARM9 offset to 0x8000: the ARM9
    // image and zero padding (the ARM7 never starts below 0x8000).
    std::vector<uint8_t> secure(nds::kSecureAreaEnd - layout.arm9Offset, 0);
    std::copy_n(arm9.begin(), std::min(arm9.size(), secure.size()), secure.begin());
    put_u16le(&h[nds::kSecureAreaCrc], Crc16(secure.data(), secure.size()));
    put_u16le(&h[nds::kLogoCrc], Crc16(&h[nds::kLogo], nds::kLogoSize));
    put_u16le(&h[nds::kHeaderCrc], Crc16(h.data(), nds::kHeaderCrc));
    return h;
}

std::vector<uint8_t> BuildFat(const NdsLayout& layout) {
    std::vector<uint8_t> fat(layout.files.size() * nds::kFatEntrySize);
    for (size_t i = 0; i < layout.files.size(); ++i) {
        put_u32le(&fat[i * nds::kFatEntrySize], layout.files[i].first);
        put_u32le(&fat[i * nds::kFatEntrySize + 4], layout.files[i].second);
    }
    return fat;
}

void WriteNds(const NdsRequest& request) {
    // Everything that can be wrong with the inputs is found before the output is opened.
    try {
        CheckGameInfo(request.info);
    } catch (const FormatError& e) {
        throw FileError(request.output, e.what());
    }
    const std::vector<uint8_t> arm9 = ReadArmImage(request.arm9);
    const std::vector<uint8_t> arm7 = ReadArmImage(request.arm7);
    std::vector<uint8_t> banner;
    if (request.withBanner) {
        Picture icon;
        try {
            icon = ReadIconFile(request.icon);
        } catch (const FileError&) {
            throw;
        } catch (const FormatError& e) {
            throw FileError(request.icon, e.what());
        }
        try {
            banner = MakeBanner(icon, request.bannerText, !request.semicolonIsText);
        } catch (const FormatError& e) {
            throw FileError(request.output, e.what());
        }
    }
    const NdsFileSystem files =
        request.dataFolder.empty() ? EmptyFileSystem() : ScanFolder(request.dataFolder);
    const std::vector<uint8_t> fnt = BuildFnt(files);
    std::vector<uint64_t> sizes;
    sizes.reserve(files.files.size());
    for (const NdsFsFile& file : files.files) sizes.push_back(file.size);

    NdsLayout layout;
    std::vector<uint8_t> header;
    try {
        layout = PlanLayout(arm9.size(), arm7.size(), fnt.size(), request.withBanner, sizes);
        header = BuildHeader(request.info, layout, arm9);
    } catch (const FormatError& e) {
        throw FileError(request.output, e.what());
    }
    const std::vector<uint8_t> fat = BuildFat(layout);

    PendingOutput out(request.output);
    out.Write(header.data(), header.size());
    out.PadTo(layout.arm9Offset);
    out.Write(arm9.data(), arm9.size());
    out.PadTo(layout.arm7Offset);
    out.Write(arm7.data(), arm7.size());
    out.PadTo(layout.fntOffset);
    out.Write(fnt.data(), fnt.size());
    out.PadTo(layout.fatOffset);
    out.Write(fat.data(), fat.size());
    if (request.withBanner) {
        out.PadTo(layout.bannerOffset);
        out.Write(banner.data(), banner.size());
    }
    std::vector<uint8_t> buffer(kCopyChunk);
    for (size_t id = 0; id < files.files.size(); ++id) {
        out.PadTo(layout.files[id].first);
        CopyFileData(files.files[id], out, buffer);
    }
    out.PadTo(layout.usedSize);
    out.Commit();
}

}  // namespace pellix::formats
