// Layout of a Nintendo DS program file: header fields, file system tables and banner.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellix::formats::nds {

// Every stand-in DS-side image that Pellix ships carries this text near its start, so an
// installation still holding them can be told from one with Quillmere's own images.
constexpr char kStandInMarker[] = "PELLIX STAND-IN ";
// How far into an image the marker is looked for.
constexpr size_t kStandInMarkerWindow = 256;

// --- File layout ---
constexpr uint32_t kSectionAlign = 0x200;    // every section starts on this boundary
constexpr uint32_t kEndAlign = 4;            // the used size is rounded up to this
constexpr uint32_t kHeaderSize = 0x200;      // the header occupies bytes 0..0x1FF
constexpr uint32_t kArm9Offset = 0x200;      // the ARM9 image directly follows the header
constexpr uint32_t kArm7MinOffset = 0x8000;  // the ARM7 image never starts below this
constexpr uint32_t kSecureAreaEnd = 0x8000;  // the secure-area CRC covers ARM9 offset..here

// --- Header fields: offset of each ---
constexpr size_t kTitle = 0x00;  // 12 bytes, ASCII, zero-padded
constexpr size_t kTitleSize = 12;
constexpr size_t kGameCode = 0x0C;  // 4 ASCII characters
constexpr size_t kGameCodeSize = 4;
constexpr size_t kMakerCode = 0x10;  // 2 ASCII characters
constexpr size_t kMakerCodeSize = 2;
constexpr size_t kDeviceCapacity = 0x14;       // u8: card size is 128 KiB << value
constexpr size_t kRomVersion = 0x1E;           // u8
constexpr size_t kAutostart = 0x1F;            // u8: flags; bit 2 skips the menu's "press a button"
constexpr size_t kArm9RomOffset = 0x20;        // u32: file offset of the ARM9 image
constexpr size_t kArm9Entry = 0x24;            // u32: ARM9 entry address
constexpr size_t kArm9Load = 0x28;             // u32: ARM9 load address
constexpr size_t kArm9Size = 0x2C;             // u32: ARM9 image size, rounded up to 4
constexpr size_t kArm7RomOffset = 0x30;        // u32: file offset of the ARM7 image
constexpr size_t kArm7Entry = 0x34;            // u32: ARM7 entry address
constexpr size_t kArm7Load = 0x38;             // u32: ARM7 load address
constexpr size_t kArm7Size = 0x3C;             // u32: ARM7 image size, rounded up to 4
constexpr size_t kFntOffset = 0x40;            // u32: file offset of the file name table
constexpr size_t kFntSize = 0x44;              // u32: its size in bytes
constexpr size_t kFatOffset = 0x48;            // u32: file offset of the file allocation table
constexpr size_t kFatSize = 0x4C;              // u32: its size in bytes, 8 per file
constexpr size_t kOverlayTables = 0x50;        // 16 bytes: ARM9 and ARM7 overlay tables (unused)
constexpr size_t kNormalCardControl = 0x60;    // u32: card control settings for normal reads
constexpr size_t kSecureCardControl = 0x64;    // u32: card control settings for the secure area
constexpr size_t kBannerOffset = 0x68;         // u32: file offset of the banner, 0 for none
constexpr size_t kSecureAreaCrc = 0x6C;        // u16: CRC16 of ARM9 offset..0x7FFF
constexpr size_t kSecureTransferDelay = 0x6E;  // u16: delay before secure transfers
constexpr size_t kTotalUsedSize = 0x80;        // u32: end of the used data, rounded up to 4
constexpr size_t kHeaderSizeField = 0x84;      // u32: size of the header, 0x200
constexpr size_t kSaveTypeText = 0xA0;         // ASCII save-type hint for flash cartridges
constexpr size_t kPassText = 0xAC;             // ASCII pass-me marker plus one byte
constexpr size_t kLogo = 0xC0;                 // 156 bytes: logo area (left zero)
constexpr size_t kLogoSize = 156;
constexpr size_t kLogoCrc = 0x15C;    // u16: CRC16 of the logo area
constexpr size_t kHeaderCrc = 0x15E;  // u16: CRC16 of bytes 0..0x15D, computed last

// --- Header values ---
constexpr uint8_t kAutostartValue = 0x04;         // start the program without the menu's prompt
constexpr uint32_t kArm9RawAddress = 0x02000000;  // entry and load of a raw ARM9 image
constexpr uint32_t kArm7RawAddress = 0x037F8000;  // entry and load of a raw ARM7 image
constexpr uint32_t kNormalCardControlValue = 0x00586000;
constexpr uint32_t kSecureCardControlValue = 0x001808F8;
constexpr uint16_t kSecureTransferDelayValue = 0x051E;
constexpr char kSaveTypeValue[] = "SRAM_V110";  // 9 bytes, no terminator stored
constexpr uint8_t kPassValue[] = {'P', 'A', 'S', 'S', '0', '1', 0x96};
constexpr uint32_t kMinCardSize = 0x20000;  // capacity value 0 means 128 KiB
constexpr unsigned kCardSizeShift = 17;     // capacity = log2(card size) - 17

// --- File name table ---
constexpr uint16_t kRootDirId = 0xF000;  // directory ids count up from the root's
constexpr uint32_t kMaxDirs = 0x1000;    // directory ids are 0xF000..0xFFFF
constexpr uint32_t kMaxFiles = 0xF000;   // file ids stay below the directory ids
constexpr size_t kFntMainEntrySize = 8;  // u32 sub-table offset, u16 first file id, u16 parent
constexpr uint8_t kFntDirFlag = 0x80;    // set in a sub-table length byte for a directory
constexpr size_t kMaxNameLength = 127;   // the length byte keeps 7 bits for it
constexpr size_t kFatEntrySize = 8;      // u32 start, u32 end (exclusive)

// --- Banner (version 1) ---
constexpr size_t kBannerSize = 0x840;
constexpr size_t kBannerVersion = 0x000;  // u16: 1
constexpr uint16_t kBannerVersionValue = 1;
constexpr size_t kBannerCrc = 0x002;  // u16: CRC16 of bytes 0x20..0x83F
constexpr size_t kBannerCrcStart = 0x020;
constexpr size_t kBannerIcon = 0x020;        // 512 bytes: 4 x 4 tiles of 8 x 8 pixels, 4 bits each
constexpr size_t kBannerPalette = 0x220;     // 16 x u16 BGR555
constexpr size_t kBannerTitles = 0x240;      // 6 x 128 UTF-16LE units
constexpr int kIconSize = 32;                // the icon is 32 x 32 pixels
constexpr int kIconTile = 8;                 // in tiles of 8 x 8 pixels
constexpr size_t kIconColours = 16;          // palette entries
constexpr size_t kTitleCount = 6;            // Japanese, English, French, German, Italian, Spanish
constexpr size_t kTitleUnits = 128;          // UTF-16 units per title
constexpr char16_t kTitleLineBreak = u'\n';  // what a ';' in the banner text becomes

// --- EFS section in the ARM9 image ---
constexpr uint8_t kEfsMarker[12] = {0xCE, 0x05, 0xA9, 0xBF, ' ', 'E', 'F', 'S', 's', 't', 'r', 0};
constexpr size_t kEfsMarkerAlign = 4;  // the marker sits on a 4-byte boundary
constexpr size_t kEfsId = 12;          // u32 after the marker: the package's id (efs_patch.h)
constexpr size_t kEfsFileSize = 16;    // u32: the package's size in bytes
constexpr size_t kEfsPath = 20;        // 256 bytes: filled in by the DS side
constexpr size_t kEfsPathSize = 256;
constexpr size_t kEfsSectionSize = kEfsPath + kEfsPathSize;  // marker through path

// Rounds `value` up to a multiple of `align` (a power of two).
constexpr uint64_t AlignUp(uint64_t value, uint64_t align) {
    return (value + align - 1) & ~(align - 1);
}

}  // namespace pellix::formats::nds
