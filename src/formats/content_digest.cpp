// The XXH64 digest, fed in pieces of any size.
#include "formats/content_digest.h"

#include <cstring>

namespace pellix::formats {

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ULL;
constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

std::uint64_t Rotl(std::uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

// Little-endian loads, whatever the machine's order: one load where the machine is
// little-endian, which is what keeps the digest at memory speed.
std::uint64_t Load64(const unsigned char* p) {
    if constexpr (kLittleEndian) {
        std::uint64_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

std::uint32_t Load32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t Round(std::uint64_t acc, std::uint64_t input) {
    acc += input * kPrime2;
    return Rotl(acc, 31) * kPrime1;
}

std::uint64_t Merge(std::uint64_t acc, std::uint64_t lane) {
    acc ^= Round(0, lane);
    return acc * kPrime1 + kPrime4;
}

void Stripe(std::uint64_t lanes[4], const unsigned char* p) {
    for (int i = 0; i < 4; ++i) lanes[i] = Round(lanes[i], Load64(p + 8 * i));
}

}  // namespace

void ContentDigest::Add(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    total_ += size;
    if (buffered_ > 0) {
        const std::size_t take = size < 32 - buffered_ ? size : 32 - buffered_;
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        size -= take;
        if (buffered_ < 32) return;
        Stripe(lanes_, buffer_);
        buffered_ = 0;
    }
    for (; size >= 32; p += 32, size -= 32) Stripe(lanes_, p);
    std::memcpy(buffer_, p, size);
    buffered_ = size;
}

void ContentDigest::AddNumber(std::uint64_t value) {
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    Add(bytes, sizeof bytes);
}

void ContentDigest::AddText(const std::string& text) {
    AddNumber(text.size());
    Add(text.data(), text.size());
}

std::uint64_t ContentDigest::Value() const {
    std::uint64_t h;
    if (total_ >= 32) {
        h = Rotl(lanes_[0], 1) + Rotl(lanes_[1], 7) + Rotl(lanes_[2], 12) + Rotl(lanes_[3], 18);
        for (const std::uint64_t lane : lanes_) h = Merge(h, lane);
    } else {
        h = kPrime5;
    }
    h += total_;
    const unsigned char* p = buffer_;
    std::size_t left = buffered_;
    for (; left >= 8; p += 8, left -= 8) h = Rotl(h ^ Round(0, Load64(p)), 27) * kPrime1 + kPrime4;
    if (left >= 4) {
        h = Rotl(h ^ (Load32(p) * kPrime1), 23) * kPrime2 + kPrime3;
        p += 4;
        left -= 4;
    }
    for (; left > 0; ++p, --left) h = Rotl(h ^ (*p * kPrime5), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

}  // namespace pellix::formats
