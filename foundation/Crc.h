#pragma once

#include <cstdint>

namespace vorsam {
namespace crc {

// CRC-16/ARC (polynomial 0x8005 reflected, initial value 0); "123456789" gives 0xBB3D.
std::uint16_t getCrc16IBM(const unsigned char* data, unsigned int length);

// Qt's qChecksum (CRC-16/X-25) of the bytes.
std::uint16_t getCrc16CCITT(const unsigned char* data, unsigned int length);

} // namespace crc
} // namespace vorsam
