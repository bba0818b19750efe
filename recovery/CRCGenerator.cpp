#include "recovery/CRCGenerator.h"

#include <cstdio>
#include <cstdlib>

namespace oxa {
namespace {

constexpr uint16_t crcOfByte(uint16_t byte)
{
    uint16_t crc = byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    return crc;
}

constexpr std::array<uint16_t, 256> makeTable()
{
    std::array<uint16_t, 256> table{};
    for (uint16_t i = 0; i < 256; ++i)
        table[i] = crcOfByte(i);
    return table;
}

// A group without a leading hexadecimal digit gives 0; only the low 8 bits count.
uint8_t byteOfGroup(const std::string& group)
{
    return static_cast<uint8_t>(std::strtol(group.c_str(), nullptr, 16) & 0xFF);
}

} // namespace

const std::array<uint16_t, 256> CRCGenerator::crc_16_table = makeTable();

std::string CRCGenerator::crc16ForRecoveryFile(const std::vector<uint8_t>& bytes) const
{
    uint16_t crc = 0;
    for (uint8_t byte : bytes)
        crc = static_cast<uint16_t>(crc_16_table[(crc ^ byte) & 0xFF] ^ (crc >> 8));
    char text[5];
    std::snprintf(text, sizeof text, "%02X%02X", crc >> 8, crc & 0xFF);
    return text;
}

std::string CRCGenerator::crc16ForRecoveryFile(const std::string& hexText) const
{
    std::vector<uint8_t> bytes;
    bytes.reserve(hexText.size() / 2 + 1);
    for (std::size_t i = 0; i < hexText.size(); i += 2)
        bytes.push_back(byteOfGroup(hexText.substr(i, 2)));
    return crc16ForRecoveryFile(bytes);
}

} // namespace oxa
