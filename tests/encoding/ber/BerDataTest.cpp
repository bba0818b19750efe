#include "encoding/ber/BerData.h"

#include "BerTestBytes.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using Ber::BerData;
using bertest::bytes;

TEST(BerData, ConstructorsAndTextForms)
{
    unsigned char const raw[] = {0x0A, 0x1B, 0xFF};
    BerData const data({0x0A, 0x1B, 0xFF});
    EXPECT_EQ(data, BerData(std::vector<unsigned char>(raw, raw + 3)));
    EXPECT_EQ(data, BerData(QByteArray("\x0A\x1B\xFF", 3)));
    EXPECT_NE(data, BerData(raw, 2));
    EXPECT_EQ(BerData(nullptr, 0), BerData());
    EXPECT_NE(BerData({0x00}), BerData());
    EXPECT_EQ("0A1BFF", data.stringValue());
    EXPECT_EQ("0A 1B FF", data.stringValueWithSpaces());
    EXPECT_EQ("<>", BerData().description());
    EXPECT_EQ("<abcd>", BerData({0xAB, 0xCD}).description());
    EXPECT_EQ("<01020304 05060708 09>", BerData({1, 2, 3, 4, 5, 6, 7, 8, 9}).description());
    // Zero bytes are kept but left out of the ascii text.
    BerData const withZeros(QByteArray("A\0B\0", 4));
    EXPECT_EQ("41004200", withZeros.stringValue());
    EXPECT_EQ("AB", withZeros.ascii());
    EXPECT_EQ(std::string("\n\x7F\xC3", 3), BerData({0x0A, 0x7F, 0xC3}).ascii());
}

TEST(BerData, ZUVALongValueReadsTheLeadingDecimalDigits)
{
    struct Case { char const* hex; int64_t value; };
    for (Case const& c : {Case{"12 34", 1234}, Case{"00 99", 99}, Case{"12 3A", 123}, Case{"A1 23", 0},
                          Case{"0F FF", 0}, Case{"", 0},
                          Case{"92 23 37 20 36 85 47 75 80 7F", 9223372036854775807LL},
                          Case{"92 23 37 20 36 85 47 75 80 8F", std::numeric_limits<int64_t>::max()},
                          Case{"99 99 99 99 99 99 99 99 99 99 99 99", std::numeric_limits<int64_t>::max()}})
        EXPECT_EQ(c.value, bytes(c.hex).ZUVALongValue()) << c.hex;
}

TEST(BerData, DumpWritesFourLabelledLinesAndAnEmptyLine)
{
    testing::internal::CaptureStdout();
    BerData({0x41, 0x00, 0x0B}).dump();
    EXPECT_EQ("<41000b>\n"
              "\tAscii                 : A\x0B\n"
              "\tStringValue           : 41000B\n"
              "\tStringValueWithSpaces : 41 00 0B\n"
              "\n",
              testing::internal::GetCapturedStdout());
}

TEST(BerData, AppendAndSubdataWithRangeOutsideTheBuffer)
{
    BerData data({1, 2});
    data.appendData(BerData({3, 4, 5}));
    data.appendData(BerData());
    EXPECT_EQ(BerData({1, 2, 3, 4, 5}), data);
    EXPECT_EQ(BerData({3, 4, 5}), data.subdataWithRange(2, 3));
    EXPECT_EQ(BerData(), data.subdataWithRange(3, 3));
    EXPECT_EQ(BerData(), data.subdataWithRange(5, 0));
    EXPECT_EQ(BerData(), data.subdataWithRange(2, 0xFFFFFFFFu));  // the end wraps below the offset
    EXPECT_EQ(BerData(), data.subdataWithRange(-5, 2));
    EXPECT_THROW(data.subdataWithRange(-1, 3), std::out_of_range);
}
