#include "common/MMIParameter.h"

#include <gtest/gtest.h>

using namespace ect;

TEST(MMIParameterTest, DefaultsEncryptedDataAndAlgorithmNames)
{
    MMIParameter const parameter;
    EXPECT_EQ(180, parameter.displayTimeout);
    EXPECT_FALSE(parameter.firstTextIdentifier || parameter.encryptedPin || parameter.freeText);

    EncryptedData const data(std::vector<unsigned char>{0x0A, 0xBC, 0x01}, 3, std::vector<unsigned char>{},
                             std::vector<unsigned char>{0xFF}, ECTEncryptionAlgorithm::AES_CTR);
    EXPECT_EQ("0ABC01", data.encryptedPin);
    EXPECT_EQ("", data.keySerialNumber);
    EXPECT_EQ("FF", data.encryptionData);

    EXPECT_EQ("AES_CTR", encryptionAlgorithmName(static_cast<ECTEncryptionAlgorithm>(1)));
    EXPECT_EQ("None", encryptionAlgorithmName(static_cast<ECTEncryptionAlgorithm>(0)));
    EXPECT_EQ("None", encryptionAlgorithmName(static_cast<ECTEncryptionAlgorithm>(7)));
    EXPECT_EQ(ECTEncryptionAlgorithm::AES_CTR, encryptionAlgorithmFromName("AES_CTR"));
    EXPECT_EQ(ECTEncryptionAlgorithm::None, encryptionAlgorithmFromName("aes_ctr"));
    EXPECT_EQ(ECTEncryptionAlgorithm::None, encryptionAlgorithmFromName(""));
}
