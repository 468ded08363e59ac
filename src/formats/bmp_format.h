// Layout of Windows bitmap files: the file header and the info headers that follow it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellix::formats::bmp {

// File header (14 bytes).
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kSignatureOffset = 0;     // "BM"
constexpr size_t kFileSizeOffset = 2;      // u32: size of the whole file
constexpr size_t kReserved1Offset = 6;     // u16: 0
constexpr size_t kReserved2Offset = 8;     // u16: 0
constexpr size_t kPixelOffsetOffset = 10;  // u32: offset of the pixel data from the file start

// Info header, starting at kFileHeaderSize; offsets below are from the file start.
constexpr size_t kInfoSizeOffset = 14;      // u32: size of the info header (selects its version)
constexpr size_t kWidthOffset = 18;         // s32: width in pixels
constexpr size_t kHeightOffset = 22;        // s32: height; negative means rows are top-down
constexpr size_t kPlanesOffset = 26;        // u16: 1
constexpr size_t kBitCountOffset = 28;      // u16: bits per pixel
constexpr size_t kCompressionOffset = 30;   // u32: one of the kCompression values
constexpr size_t kImageSizeOffset = 34;     // u32: size of the pixel data (may be 0 when raw)
constexpr size_t kXPelsOffset = 38;         // s32: horizontal resolution, pixels per metre
constexpr size_t kYPelsOffset = 42;         // s32: vertical resolution, pixels per metre
constexpr size_t kClrUsedOffset = 46;       // u32: palette entries; 0 = 2^bits for paletted depths
constexpr size_t kClrImportantOffset = 50;  // u32: 0
// Colour masks: part of the V2 and later headers, or three u32 after a 40-byte header
// when the compression is BITFIELDS.
constexpr size_t kRedMaskOffset = 54;    // u32
constexpr size_t kGreenMaskOffset = 58;  // u32
constexpr size_t kBlueMaskOffset = 62;   // u32
constexpr size_t kAlphaMaskOffset = 66;  // u32: V3 and later headers, or after the three above

// Info header sizes.
constexpr uint32_t kCoreHeaderSize = 12;   // OS/2 BITMAPCOREHEADER (16-bit fields, RGB palette)
constexpr uint32_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
constexpr uint32_t kV2HeaderSize = 52;     // with colour masks
constexpr uint32_t kV3HeaderSize = 56;     // with colour and alpha masks
constexpr uint32_t kV4HeaderSize = 108;    // BITMAPV4HEADER
constexpr uint32_t kV5HeaderSize = 124;    // BITMAPV5HEADER
constexpr uint32_t kMaxHeaderSize = 4096;  // anything larger is not a header we know

// Compression values.
constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitfields = 3;
constexpr uint32_t kCompressionJpeg = 4;
constexpr uint32_t kCompressionPng = 5;
constexpr uint32_t kCompressionAlphaBitfields = 6;

// A palette entry after an info header: blue, green, red, reserved.
constexpr size_t kPaletteEntrySize = 4;
// A palette entry after a core header: blue, green, red.
constexpr size_t kCorePaletteEntrySize = 3;

// Rows of pixel data are padded to a multiple of this many bytes.
constexpr size_t kRowAlignment = 4;

// Limits that keep a small or hostile file from asking for huge allocations.
constexpr int64_t kMaxDimension = 16384;

}  // namespace pellix::formats::bmp
