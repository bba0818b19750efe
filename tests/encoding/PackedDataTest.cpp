#include "encoding/ECTDataHexa.h"
#include "encoding/ECTDataZUVADigital.h"
#include "encoding/StringUtils.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

using encodingtest::hexOf;
using oxa::StringUtils;

// Each pair is read the way stream extraction reads an int.
TEST(ECTDataZUVADigital, packsDecimalTextAndNumbers)
{
    for (auto const& c : {std::make_pair("1234", "12 34"), std::make_pair("978", "09 78"), std::make_pair("", ""),
                          std::make_pair("5x", "05"), std::make_pair("AB", "00")})
        EXPECT_EQ(c.second, hexOf(oxa::ECTDataZUVADigital(c.first))) << c.first;
    struct Case { std::int64_t value; int digits; char const* hex; };
    for (Case const& c : {Case{0, 4, "00 00"}, Case{100, 2, "01 00"}, Case{5, 3, "00 05"}, Case{123, 0, "01 23"},
                          Case{INT64_C(1234567890123), 12, "01 23 45 67 89 01 23"}})
        EXPECT_EQ(c.hex, hexOf(oxa::ECTDataZUVADigital(c.value, c.digits))) << c.value << "/" << c.digits;
}

// Bytes above 0x7F are characters like any other, never table indexes below zero.
TEST(ECTDataHexa, readsPairsOfHexadecimalDigits)
{
    for (auto const& c : {std::make_pair("0A1bFF", "0A 1B FF"), std::make_pair("ABC", "AB C0"),
                          std::make_pair("G1 1", "00 01"), std::make_pair("\xC3\xA9\xFF\x80", "00 00")})
        EXPECT_EQ(c.second, hexOf(oxa::ECTDataHexa(c.first))) << c.first;
    for (int c = 0; c < 256; ++c) {
        bool const isDigit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        EXPECT_EQ(isDigit, StringUtils::hexDigitValue(static_cast<char>(c)) >= 0) << c;
    }
}
