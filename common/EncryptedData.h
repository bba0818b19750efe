#pragma once

#include "common/ECTEncryptionAlgorithm.h"

#include <string>
#include <vector>

namespace ect {

// An encrypted PIN block with its key references. Carries data only.
class EncryptedData {
public:
    EncryptedData(std::string encryptedPin, int keyIndex, std::string keySerialNumber, std::string encryptionData,
                  ECTEncryptionAlgorithm algorithm);
    // Byte vectors are stored as upper-case hexadecimal text.
    EncryptedData(std::vector<unsigned char> const& encryptedPin, int keyIndex,
                  std::vector<unsigned char> const& keySerialNumber, std::vector<unsigned char> const& encryptionData,
                  ECTEncryptionAlgorithm algorithm);

    std::string encryptedPin;
    int keyIndex;
    std::string keySerialNumber;
    std::string encryptionData;
    ECTEncryptionAlgorithm algorithm;
};

} // namespace ect
