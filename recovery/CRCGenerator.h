#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace oxa {

// CRC-16/ARC (reflected polynomial 0xA001, initial 0, no final XOR) of the
// recovery export, as four upper-case hexadecimal digits.
class CRCGenerator {
public:
    CRCGenerator() = default;

    std::string crc16ForRecoveryFile(const std::vector<uint8_t>& bytes) const;
    // Bytes given as hexadecimal text, two characters each (strtol rules).
    std::string crc16ForRecoveryFile(const std::string& hexText) const;
};

} // namespace oxa
