#include "encoding/ber/HexUtil.h"

#include <gtest/gtest.h>

using Ber::BerData;
using Ber::HexUtil;

TEST(HexUtil, ParseSkipsSeparatorsAndNeedsAnEvenDigitCount)
{
    EXPECT_EQ(BerData({0x0A, 0x1B}), HexUtil::parse("0a:1B"));
    EXPECT_EQ(BerData({0x0A, 0x1B}), HexUtil::parse(" 0A\r\n1b "));
    EXPECT_EQ(BerData(), HexUtil::parse("0A 1"));
    EXPECT_EQ(BerData(), HexUtil::parse(""));
    EXPECT_EQ(BerData(), HexUtil::parse("xyz"));
    EXPECT_EQ(BerData({0xAB, 0xCD, 0xEF}), HexUtil::parse("abcdef"));
}

TEST(HexUtil, ParseStopsAtTheFirstZeroCharacter)
{
    EXPECT_EQ(BerData({0x0A}), HexUtil::parse(std::string("0A\0FF", 5)));
}

// Characters above 0x7F are negative as plain char: they must be skipped,
// never used as a (negative) table index.
TEST(HexUtil, ParseSkipsCharactersAbove0x7F)
{
    EXPECT_EQ(BerData({0x0A, 0x1B}), HexUtil::parse("\xC3\xA9" "0A\x80\xFF" "1B\xB0"));
    std::string everyHighCharacter;
    for (int c = 0x80; c <= 0xFF; ++c)
        everyHighCharacter += static_cast<char>(c);
    EXPECT_EQ(BerData(), HexUtil::parse(everyHighCharacter));
    EXPECT_EQ(BerData({0x12}), HexUtil::parse(everyHighCharacter + "12"));
}

TEST(HexUtil, FormatWritesUpperCaseDigits)
{
    BerData const data({0x0A, 0x1B, 0xFF});
    EXPECT_EQ("0A1BFF", HexUtil::format(data));
    EXPECT_EQ("1BFF", HexUtil::format(data, 1, 2));
    EXPECT_EQ("", HexUtil::format(data, 1, 0));
    EXPECT_EQ("", HexUtil::format(BerData()));
}

TEST(HexUtil, FormatClipsARangeOutsideTheData)
{
    BerData const data({0x0A, 0x1B, 0xFF});
    EXPECT_EQ("1BFF", HexUtil::format(data, 1, 10));
    EXPECT_EQ("", HexUtil::format(data, 3, 1));
    EXPECT_EQ("", HexUtil::format(data, 0xFFFFFFFFu, 2));
}

TEST(HexUtil, PrettyFormat)
{
    EXPECT_EQ("[2] 0a 1b", HexUtil::prettyFormat(BerData({0x0A, 0x1B})));
    EXPECT_EQ("[2] 00 ff", HexUtil::prettyFormat(BerData({0x00, 0xFF})));
    EXPECT_EQ("[0]", HexUtil::prettyFormat(BerData()));
}
