// Little-endian reads and writes of 16- and 32-bit fields in byte buffers.
#pragma once

#include <cstdint>

namespace pellix::formats {

// Stores `value` at p[0..1], low byte first.
inline void put_u16le(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

// Stores `value` at p[0..3], low byte first.
inline void put_u32le(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

// Reads the 16-bit little-endian value at p[0..1]; the caller has checked the length.
inline uint16_t get_u16le(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads the 32-bit little-endian value at p[0..3]; the caller has checked the length.
inline uint32_t get_u32le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace pellix::formats
