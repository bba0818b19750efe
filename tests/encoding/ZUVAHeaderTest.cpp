#include "encoding/ZUVAHeader.h"

#include "CertificationLogCapture.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <stdexcept>

using encodingtest::berData;
using encodingtest::bytes;
using encodingtest::CertificationLogCapture;
using encodingtest::hexOf;

namespace {

char const kBalanceHeader66[] =
    "4D43 0100 00000000000000000000 0002 00000000000000000000 0A0B 00000000000000 00 0066";

void expectRefused(QByteArray const& data, char const* message)
{
    try {
        oxa::ZUVAHeader header(data);
        FAIL() << "accepted, expected: " << message;
    } catch (std::invalid_argument const& error) {
        EXPECT_STREQ(message, error.what());
    }
}

QByteArray withByte(QByteArray data, int offset, char value)
{
    data[offset] = value;
    return data;
}

} // namespace

TEST(ZUVAHeader, buildsTheRequestHeaderByteForByte)
{
    QByteArray const header = oxa::buildZUVARequestHeader(berData("000F"), berData("0012"));
    EXPECT_EQ("4D 43 01 00 00 00 00 00 00 00 00 00 00 00 00 0F 00 00 00 00 00 00 00 00 00 00 0A 0B "
              "00 00 00 00 00 00 00 00 00 12",
              hexOf(header));
    EXPECT_EQ(bytes(kBalanceHeader66),
              oxa::buildZUVARequestHeader(berData("0002"), oxa::ECTMessageLength(66).data()));
}

TEST(ZUVAHeader, parsesTheFieldsOfAValidHeader)
{
    oxa::ZUVAHeader const header(bytes(kBalanceHeader66));
    EXPECT_EQ(bytes("0002"), header.destination());
    EXPECT_EQ(bytes("0A0B"), header.origin());
    EXPECT_EQ(0, header.type());
    EXPECT_EQ(66, header.length().length());

    // Protocol, destination, origin and reserved bytes may be anything.
    QByteArray any(38, char(0xA5));
    any[0] = 'M';
    any[1] = 'C';
    any[35] = 1;
    any[36] = 0x12;
    any[37] = 0x34;
    oxa::ZUVAHeader const other(any);
    EXPECT_EQ(1, other.type());
    EXPECT_EQ(1234, other.length().length());
    EXPECT_EQ(bytes("A5A5"), other.destination());
}

TEST(ZUVAHeader, refusesMalformedHeadersInCheckOrder)
{
    QByteArray const valid = bytes(kBalanceHeader66);
    expectRefused(QByteArray(), "message data length too small");
    expectRefused(valid.left(37), "message data length too small");
    expectRefused(withByte(valid, 35, 2), "message header type invalid (must be 0 or 1)");
    expectRefused(withByte(withByte(valid, 0, 'm'), 1, 'c'), "message code invalid (must be MC)");
    EXPECT_NO_THROW(oxa::ZUVAHeader(withByte(valid, 35, 1)));
}

TEST(ECTMessageLength, fourPackedDecimalDigitsBothWays)
{
    for (int value : {0, 1234, 9999})
        EXPECT_EQ(value, oxa::ECTMessageLength(oxa::ECTMessageLength(value).data()).length());
    EXPECT_EQ("12 34", hexOf(oxa::ECTMessageLength(1234).data()));
    EXPECT_EQ(123, oxa::ECTMessageLength(berData("123A")).length());
}

// Out of range, encoded or decoded, is logged once and becomes zero; decoded
// values above the range must not wrap into it (4294967297 is 1 cut to 32 bits).
TEST(ECTMessageLength, decodedValuesAboveTheRangeDoNotWrapIntoIt)
{
    CertificationLogCapture log;
    EXPECT_EQ("00 00", hexOf(oxa::ECTMessageLength(10000).data()));
    EXPECT_EQ(0, oxa::ECTMessageLength(-1).length());
    EXPECT_EQ(0, oxa::ECTMessageLength(berData("004294967297")).length());
    EXPECT_EQ(0, oxa::ECTMessageLength(berData("010000")).length());
    EXPECT_EQ(4, log.occurrences("The value must be >= 0 and <= 9999 !"));
}
