#include "common/EncryptedData.h"

#include "common/ECTData.h"

#include <utility>

namespace ect {

EncryptedData::EncryptedData(std::string encryptedPin, int keyIndex, std::string keySerialNumber,
                             std::string encryptionData, ECTEncryptionAlgorithm algorithm)
    : encryptedPin(std::move(encryptedPin))
    , keyIndex(keyIndex)
    , keySerialNumber(std::move(keySerialNumber))
    , encryptionData(std::move(encryptionData))
    , algorithm(algorithm)
{
}

EncryptedData::EncryptedData(std::vector<unsigned char> const& encryptedPin, int keyIndex,
                             std::vector<unsigned char> const& keySerialNumber,
                             std::vector<unsigned char> const& encryptionData, ECTEncryptionAlgorithm algorithm)
    : EncryptedData(ECTData(encryptedPin).stringValue(), keyIndex, ECTData(keySerialNumber).stringValue(),
                    ECTData(encryptionData).stringValue(), algorithm)
{
}

} // namespace ect
