// The stamp after a package's last byte the DS reads: what the package was made from and a
// digest of the package itself, so a later run tells a current package from a stale one
// or one changed by hand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace pellix::formats {

// Layout, 32 bytes at the very end of the file, little-endian:
//   0  8  magic "PLXSTAMP"
//   8  4  version (1)
//  12  4  zero
//  16  8  digest of the inputs (ROM, pictures, title, switches, DS images, data files)
//  24  8  digest of every byte of the file before this field
// The header's used size (0x80) ends before the stamp, so the DS never reads it.
constexpr std::size_t kStampSize = 32;
constexpr unsigned char kStampMagic[8] = {'P', 'L', 'X', 'S', 'T', 'A', 'M', 'P'};
constexpr std::uint32_t kStampVersion = 1;
constexpr std::size_t kStampVersionAt = 8;
constexpr std::size_t kStampInputsAt = 16;
constexpr std::size_t kStampPackageAt = 24;

struct PackageStamp {
    std::uint64_t inputs = 0;
    std::uint64_t package = 0;
};

// The 32 bytes of a stamp.
std::array<std::uint8_t, kStampSize> EncodeStamp(const PackageStamp& stamp);

// The stamp in the last kStampSize bytes at `tail`, or none when they are not one of ours.
std::optional<PackageStamp> DecodeStamp(const std::uint8_t* tail, std::size_t size);

}  // namespace pellix::formats
