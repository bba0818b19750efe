#include "foundation/Crc.h"

#include <QByteArray>

#include <array>

namespace vorsam {
namespace crc {

namespace {

const std::uint16_t ReflectedPolynomial = 0xA001;

std::array<std::uint16_t, 256> makeCrc16IbmTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned int i = 0; i < table.size(); ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1U) ? static_cast<std::uint16_t>((crc >> 1) ^ ReflectedPolynomial)
                             : static_cast<std::uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

} // namespace

std::uint16_t getCrc16IBM(const unsigned char* data, unsigned int length)
{
    static const std::array<std::uint16_t, 256> table = makeCrc16IbmTable();
    std::uint16_t crc = 0;
    for (unsigned int i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>(table[(crc ^ data[i]) & 0xFFU] ^ (crc >> 8));
    return crc;
}

std::uint16_t getCrc16CCITT(const unsigned char* data, unsigned int length)
{
    return qChecksum(reinterpret_cast<const char*>(data), length);
}

} // namespace crc
} // namespace vorsam
