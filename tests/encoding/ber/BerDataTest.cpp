#include "encoding/ber/BerData.h"

#include "BerTestBytes.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using Ber::BerData;
using bertest::bytes;

TEST(BerData, EmptyBufferHasEmptyViews)
{
    BerData empty;
    EXPECT_EQ(0u, empty.length());
    EXPECT_EQ("", empty.stringValue());
    EXPECT_EQ("", empty.stringValueWithSpaces());
    EXPECT_EQ("", empty.ascii());
    EXPECT_EQ("<>", empty.description());
    EXPECT_EQ(0, empty.ZUVALongValue());
    EXPECT_EQ(BerData(), empty);
    EXPECT_EQ(BerData(nullptr, 0), empty);
    EXPECT_NE(BerData({0x00}), empty);
}

TEST(BerData, ConstructorsCopyTheBytesInOrder)
{
    unsigned char const raw[] = {0x0A, 0x1B, 0xFF};
    BerData const expected({0x0A, 0x1B, 0xFF});
    EXPECT_EQ(expected, BerData(raw, 3));
    EXPECT_EQ(expected, BerData(std::vector<unsigned char>(raw, raw + 3)));
    EXPECT_EQ(expected, BerData(QByteArray("\x0A\x1B\xFF", 3)));
    EXPECT_NE(expected, BerData(raw, 2));
    EXPECT_NE(expected, BerData({0x0A, 0x1B, 0xFE}));
}

TEST(BerData, ZeroBytesFromQByteArrayAreKeptButLeftOutOfAscii)
{
    BerData const data(QByteArray("A\0B\0", 4));
    EXPECT_EQ(4u, data.length());
    EXPECT_EQ("41004200", data.stringValue());
    EXPECT_EQ("AB", data.ascii());
}

TEST(BerData, HexadecimalTexts)
{
    BerData const data({0x0A, 0x1B, 0xFF});
    EXPECT_EQ("0A1BFF", data.stringValue());
    EXPECT_EQ("0A 1B FF", data.stringValueWithSpaces());
    EXPECT_EQ("0A", BerData({0x0A}).stringValueWithSpaces());
}

TEST(BerData, AsciiKeepsEveryByteButZero)
{
    EXPECT_EQ("AB", BerData({0x41, 0x00, 0x42}).ascii());
    EXPECT_EQ(std::string("\n\x7F\xC3", 3), BerData({0x0A, 0x7F, 0xC3}).ascii());
}

TEST(BerData, ZUVALongValueReadsTheLeadingDecimalDigits)
{
    EXPECT_EQ(1234, BerData({0x12, 0x34}).ZUVALongValue());
    EXPECT_EQ(99, BerData({0x00, 0x99}).ZUVALongValue());
    EXPECT_EQ(123, BerData({0x12, 0x3A}).ZUVALongValue());
    EXPECT_EQ(0, BerData({0xA1, 0x23}).ZUVALongValue());
    EXPECT_EQ(9999, BerData({0x99, 0x99}).ZUVALongValue());
    EXPECT_EQ(0, BerData({0x0F, 0xFF}).ZUVALongValue());
    EXPECT_EQ(9223372036854775807LL, bytes("92 23 37 20 36 85 47 75 80 7F").ZUVALongValue());
    EXPECT_EQ(std::numeric_limits<int64_t>::max(), bytes("92 23 37 20 36 85 47 75 80 8F").ZUVALongValue());
    EXPECT_EQ(std::numeric_limits<int64_t>::max(), bytes("99 99 99 99 99 99 99 99 99 99 99 99").ZUVALongValue());
}

TEST(BerData, DescriptionGroupsFourBytesInLowerCase)
{
    EXPECT_EQ("<01020304 05>", BerData({1, 2, 3, 4, 5}).description());
    EXPECT_EQ("<abcd>", BerData({0xAB, 0xCD}).description());
    EXPECT_EQ("<01020304 05060708>", BerData({1, 2, 3, 4, 5, 6, 7, 8}).description());
    EXPECT_EQ("<01020304 05060708 09>", BerData({1, 2, 3, 4, 5, 6, 7, 8, 9}).description());
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

TEST(BerData, AppendDataAddsAtTheEnd)
{
    BerData data({0x01});
    data.appendData(BerData({0x02, 0x03}));
    data.appendData(BerData());
    EXPECT_EQ(BerData({0x01, 0x02, 0x03}), data);
}

TEST(BerData, SubdataWithRangeGivesEmptyBytesOutsideTheBuffer)
{
    BerData const data({1, 2, 3, 4, 5});
    EXPECT_EQ(BerData({3, 4, 5}), data.subdataWithRange(2, 3));
    EXPECT_EQ(BerData({1}), data.subdataWithRange(0, 1));
    EXPECT_EQ(BerData(), data.subdataWithRange(3, 3));
    EXPECT_EQ(BerData(), data.subdataWithRange(5, 0));
    EXPECT_EQ(BerData(), data.subdataWithRange(2, 0xFFFFFFFFu));  // the end wraps below the offset
    EXPECT_EQ(BerData(), data.subdataWithRange(-5, 2));
    EXPECT_THROW(data.subdataWithRange(-1, 3), std::out_of_range);
}
