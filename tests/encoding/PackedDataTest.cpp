#include "encoding/ECTDataHexa.h"
#include "encoding/ECTDataZUVADigital.h"
#include "encoding/StringUtils.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

using encodingtest::hexOf;
using oxa::StringUtils;

TEST(ECTDataZUVADigital, packsDecimalText)
{
    EXPECT_EQ("12 34", hexOf(oxa::ECTDataZUVADigital("1234")));
    EXPECT_EQ("09 78", hexOf(oxa::ECTDataZUVADigital("978")));
    EXPECT_EQ("00 40", hexOf(oxa::ECTDataZUVADigital("0040")));
    EXPECT_EQ("07", hexOf(oxa::ECTDataZUVADigital("7")));
    EXPECT_EQ(0u, oxa::ECTDataZUVADigital("").length());
}

TEST(ECTDataZUVADigital, readsEachPairTheWayStreamExtractionReadsAnInt)
{
    EXPECT_EQ("05", hexOf(oxa::ECTDataZUVADigital(" 5")));
    EXPECT_EQ("05", hexOf(oxa::ECTDataZUVADigital("5x")));
    EXPECT_EQ("00", hexOf(oxa::ECTDataZUVADigital("AB")));
    EXPECT_EQ("03", hexOf(oxa::ECTDataZUVADigital("+3")));
}

TEST(ECTDataZUVADigital, packsNumbersWithAMinimumDigitCount)
{
    EXPECT_EQ("00 00", hexOf(oxa::ECTDataZUVADigital(0, 4)));
    EXPECT_EQ("99", hexOf(oxa::ECTDataZUVADigital(99, 2)));
    EXPECT_EQ("01 00", hexOf(oxa::ECTDataZUVADigital(100, 2)));
    EXPECT_EQ("00 45", hexOf(oxa::ECTDataZUVADigital(45, 4)));
    EXPECT_EQ("06 70", hexOf(oxa::ECTDataZUVADigital(670, 4)));
    EXPECT_EQ("05", hexOf(oxa::ECTDataZUVADigital(5, 1)));
    EXPECT_EQ("00 05", hexOf(oxa::ECTDataZUVADigital(5, 3)));
    EXPECT_EQ("12 34 56", hexOf(oxa::ECTDataZUVADigital(123456, 4)));
    EXPECT_EQ("01 23", hexOf(oxa::ECTDataZUVADigital(123, 0)));
    EXPECT_EQ("01 23", hexOf(oxa::ECTDataZUVADigital(123, -2)));
    EXPECT_EQ("99 99 99 99 99 99", hexOf(oxa::ECTDataZUVADigital(INT64_C(999999999999), 12)));
    EXPECT_EQ("01 23 45 67 89 01 23", hexOf(oxa::ECTDataZUVADigital(INT64_C(1234567890123), 12)));
}

TEST(ECTDataHexa, readsPairsOfHexadecimalDigits)
{
    EXPECT_EQ("0A 1B FF", hexOf(oxa::ECTDataHexa("0A1BFF")));
    EXPECT_EQ("00 00 00 00", hexOf(oxa::ECTDataHexa("00000000")));
    EXPECT_EQ("A0", hexOf(oxa::ECTDataHexa("a0")));
    EXPECT_EQ("F0", hexOf(oxa::ECTDataHexa("F")));
    EXPECT_EQ("AB C0", hexOf(oxa::ECTDataHexa("ABC")));
    EXPECT_EQ(0u, oxa::ECTDataHexa("").length());
}

TEST(ECTDataHexa, pairsWithoutLeadingDigitGiveZero)
{
    EXPECT_EQ("00 01", hexOf(oxa::ECTDataHexa("G1 1")));
    EXPECT_EQ("0A", hexOf(oxa::ECTDataHexa("Az")));
    // Bytes above 0x7F are characters like any other, never table indexes below zero.
    EXPECT_EQ("00 00", hexOf(oxa::ECTDataHexa("\xC3\xA9\xFF\x80")));
}

TEST(StringUtils, hexDigitValueCoversEveryCharValue)
{
    for (int c = 0; c < 256; ++c) {
        int const value = StringUtils::hexDigitValue(static_cast<char>(c));
        bool const isDigit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        EXPECT_EQ(isDigit, value >= 0) << c;
    }
    EXPECT_EQ(15, StringUtils::hexDigitValue('f'));
    EXPECT_EQ(10, StringUtils::hexDigitValue('A'));
}

TEST(StringUtils, bitAtPosition)
{
    EXPECT_TRUE(StringUtils::binaryStringBitSetAtPosition("0010", 2));
    EXPECT_FALSE(StringUtils::binaryStringBitSetAtPosition("0010", 3));
    EXPECT_FALSE(StringUtils::binaryStringBitSetAtPosition("0010", 4));
    EXPECT_FALSE(StringUtils::binaryStringBitSetAtPosition("0010", -1));
    EXPECT_TRUE(StringUtils::binaryStringBitSetAtPosition("x", 0));
}

TEST(StringUtils, binaryToHexadecimal)
{
    EXPECT_EQ("1A", StringUtils::convertBinaryToHexa("00011010"));
    EXPECT_EQ("F0", StringUtils::convertBinaryToHexa("111100001"));
    EXPECT_EQ("5", StringUtils::convertBinaryToHexa("0101x011"));
    EXPECT_EQ("", StringUtils::convertBinaryToHexa("101"));
    EXPECT_EQ("80000000", StringUtils::convertBinaryToHexa("10000000000000000000000000000000"));
    EXPECT_EQ("0123456789ABCDEF",
              StringUtils::convertBinaryToHexa("0000000100100011010001010110011110001001101010111100110111101111"));
}

TEST(StringUtils, hexadecimalToBinary)
{
    EXPECT_EQ("00011010", StringUtils::convertHexaToBinary("1A"));
    EXPECT_EQ("0001", StringUtils::convertHexaToBinary("1a"));
    EXPECT_EQ("11111111", StringUtils::convertHexaToBinary("FF"));
    EXPECT_EQ("0001", StringUtils::convertHexaToBinary("G1"));
    EXPECT_EQ("", StringUtils::convertHexaToBinary(""));
    EXPECT_EQ("", StringUtils::convertHexaToBinary("\xC1\xB1"));
}

TEST(StringUtils, caseChangesLeaveBytesAboveAsciiAlone)
{
    EXPECT_EQ("EUR", StringUtils::uppercaseString("eur"));
    EXPECT_EQ("eur", StringUtils::lowercaseString("EuR"));
    EXPECT_EQ("\xC3\xA9X\xFF", StringUtils::uppercaseString("\xC3\xA9x\xFF"));
    EXPECT_EQ("\xC3\xA9x\xFF", StringUtils::lowercaseString("\xC3\xA9X\xFF"));
}
