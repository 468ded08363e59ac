// The package stamp's bytes.
#include "formats/package_stamp.h"

#include <cstring>

#include "formats/byte_order.h"

namespace pellix::formats {

namespace {

void PutU64(std::uint8_t* p, std::uint64_t value) {
    put_u32le(p, static_cast<std::uint32_t>(value));
    put_u32le(p + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint64_t GetU64(const std::uint8_t* p) {
    return get_u32le(p) | (static_cast<std::uint64_t>(get_u32le(p + 4)) << 32);
}

}  // namespace

std::array<std::uint8_t, kStampSize> EncodeStamp(const PackageStamp& stamp) {
    std::array<std::uint8_t, kStampSize> bytes{};
    std::memcpy(bytes.data(), kStampMagic, sizeof kStampMagic);
    put_u32le(bytes.data() + kStampVersionAt, kStampVersion);
    PutU64(bytes.data() + kStampInputsAt, stamp.inputs);
    PutU64(bytes.data() + kStampPackageAt, stamp.package);
    return bytes;
}

std::optional<PackageStamp> DecodeStamp(const std::uint8_t* tail, std::size_t size) {
    if (size < kStampSize) return std::nullopt;
    const std::uint8_t* p = tail + size - kStampSize;
    if (std::memcmp(p, kStampMagic, sizeof kStampMagic) != 0 ||
        get_u32le(p + kStampVersionAt) != kStampVersion)
        return std::nullopt;
    return PackageStamp{GetU64(p + kStampInputsAt), GetU64(p + kStampPackageAt)};
}

}  // namespace pellix::formats
