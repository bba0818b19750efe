#include "recovery/CRCGenerator.h"

#include "common/HexToBytes.h"
#include "foundation/Crc.h"

#include <cstdio>

namespace oxa {

std::string CRCGenerator::crc16ForRecoveryFile(const std::vector<uint8_t>& bytes) const
{
    const std::uint16_t crc = vorsam::crc::getCrc16IBM(bytes.data(), static_cast<unsigned int>(bytes.size()));
    char text[5];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned int>(crc));
    return text;
}

std::string CRCGenerator::crc16ForRecoveryFile(const std::string& hexText) const
{
    return crc16ForRecoveryFile(ect::HexToBytes(hexText));
}

} // namespace oxa
