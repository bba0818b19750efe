#include "common/ECTEncryptionAlgorithm.h"

namespace ect {

namespace {
char const aesCtrName[] = "AES_CTR";
}

std::string encryptionAlgorithmName(ECTEncryptionAlgorithm algorithm)
{
    return algorithm == ECTEncryptionAlgorithm::AES_CTR ? aesCtrName : "None";
}

ECTEncryptionAlgorithm encryptionAlgorithmFromName(std::string const& name)
{
    return name == aesCtrName ? ECTEncryptionAlgorithm::AES_CTR : ECTEncryptionAlgorithm::None;
}

} // namespace ect
