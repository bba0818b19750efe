#pragma once

#include <cstdint>
#include <string>

namespace ect {

enum class ECTEncryptionAlgorithm : std::int32_t {
    None = 0,
    AES_CTR = 1,
};

// JSON text of the algorithm: "AES_CTR" for AES_CTR, "None" for anything else.
std::string encryptionAlgorithmName(ECTEncryptionAlgorithm algorithm);
// Any text other than "AES_CTR" reads as None.
ECTEncryptionAlgorithm encryptionAlgorithmFromName(std::string const& name);

} // namespace ect
