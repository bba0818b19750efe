#include "encoding/ber/HexUtil.h"

#include <gtest/gtest.h>

using Ber::BerData;
using Ber::HexUtil;

// Separators are skipped, an odd digit count gives nothing, a zero character
// ends the text. Characters above 0x7F are negative as plain char: they must
// be skipped, never used as a (negative) table index.
TEST(HexUtil, Parse)
{
    std::string everyHighCharacter;
    for (int c = 0x80; c <= 0xFF; ++c)
        everyHighCharacter += static_cast<char>(c);
    struct Case { std::string text; BerData expected; };
    for (Case const& c : {Case{"0a:1B", {0x0A, 0x1B}}, Case{" 0A\r\n1b ", {0x0A, 0x1B}}, Case{"0A 1", {}},
                          Case{std::string("0A\0FF", 5), {0x0A}}, Case{everyHighCharacter + "12", {0x12}}})
        EXPECT_EQ(c.expected, HexUtil::parse(c.text)) << c.text;
}
