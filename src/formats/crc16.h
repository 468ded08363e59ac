// CRC-16/MODBUS, the checksum the DS uses for its header, secure area and banner.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellix::formats {

// Start value of a fresh CRC.
constexpr uint16_t kCrc16Start = 0xFFFF;

// Returns the CRC of data[0..size) continued from `crc` (reflected polynomial 0xA001,
// no final XOR). Passing a previous result continues the checksum over split data.
uint16_t Crc16(const uint8_t* data, size_t size, uint16_t crc = kCrc16Start);

}  // namespace pellix::formats
