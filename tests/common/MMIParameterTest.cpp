#include "common/MMIParameter.h"

#include <gtest/gtest.h>

using namespace ect;

TEST(MMIParameterTest, DefaultsAndCopies)
{
    MMIParameter parameter;
    EXPECT_EQ(180, parameter.displayTimeout);
    EXPECT_FALSE(parameter.firstTextIdentifier);
    EXPECT_FALSE(parameter.firstTextLanguage);
    EXPECT_FALSE(parameter.secondTextIdentifier);
    EXPECT_FALSE(parameter.secondTextLanguage);
    EXPECT_FALSE(parameter.encryptedPin);
    EXPECT_FALSE(parameter.freeText);

    parameter.freeText = FreeText("one", "", "three", "four");
    parameter.firstTextIdentifier = 0;
    MMIParameter const copy = parameter;
    ASSERT_TRUE(copy.freeText);
    EXPECT_EQ("one", copy.freeText->text_1());
    EXPECT_EQ("", copy.freeText->text_2());
    EXPECT_EQ("three", copy.freeText->text_3());
    EXPECT_EQ("four", copy.freeText->text_4());
    EXPECT_EQ(0, *copy.firstTextIdentifier);
}

TEST(MMIParameterTest, EncryptedDataFromBytesIsUpperCaseHex)
{
    EncryptedData const data(std::vector<unsigned char>{0x0A, 0xBC, 0x01}, 3, std::vector<unsigned char>{},
                             std::vector<unsigned char>{0xFF}, ECTEncryptionAlgorithm::AES_CTR);
    EXPECT_EQ("0ABC01", data.encryptedPin);
    EXPECT_EQ(3, data.keyIndex);
    EXPECT_EQ("", data.keySerialNumber);
    EXPECT_EQ("FF", data.encryptionData);
    EXPECT_EQ(ECTEncryptionAlgorithm::AES_CTR, data.algorithm);

    EncryptedData const texts("abc", 1, "def", "", ECTEncryptionAlgorithm::None);
    EXPECT_EQ("abc", texts.encryptedPin);
    EXPECT_EQ("def", texts.keySerialNumber);
}

TEST(MMIParameterTest, AlgorithmNames)
{
    EXPECT_EQ("AES_CTR", encryptionAlgorithmName(static_cast<ECTEncryptionAlgorithm>(1)));
    EXPECT_EQ("None", encryptionAlgorithmName(static_cast<ECTEncryptionAlgorithm>(0)));
    EXPECT_EQ("None", encryptionAlgorithmName(static_cast<ECTEncryptionAlgorithm>(7)));
    EXPECT_EQ(ECTEncryptionAlgorithm::AES_CTR, encryptionAlgorithmFromName("AES_CTR"));
    EXPECT_EQ(ECTEncryptionAlgorithm::None, encryptionAlgorithmFromName("aes_ctr"));
    EXPECT_EQ(ECTEncryptionAlgorithm::None, encryptionAlgorithmFromName(""));
}
