#include "encoding/ZUVAHeader.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <stdexcept>

using encodingtest::berData;
using encodingtest::bytes;
using encodingtest::hexOf;

namespace {

char const kBalanceHeader66[] =
    "4D43 0100 00000000000000000000 0002 00000000000000000000 0A0B 00000000000000 00 0066";

QByteArray withByte(QByteArray data, int offset, char value)
{
    data[offset] = value;
    return data;
}

} // namespace

TEST(ZUVAHeader, buildsAndParsesTheRequestHeaderByteForByte)
{
    EXPECT_EQ(bytes(kBalanceHeader66), oxa::buildZUVARequestHeader(berData("0002"), oxa::ECTMessageLength(66).data()));
    oxa::ZUVAHeader const header(bytes(kBalanceHeader66));
    EXPECT_EQ(bytes("0002"), header.destination());
    EXPECT_EQ(bytes("0A0B"), header.origin());
    EXPECT_EQ(66, header.length().length());
    EXPECT_EQ(1, oxa::ZUVAHeader(withByte(bytes(kBalanceHeader66), 35, 1)).type());
}

TEST(ZUVAHeader, refusesMalformedHeadersInCheckOrder)
{
    QByteArray const valid = bytes(kBalanceHeader66);
    struct Case { QByteArray data; char const* message; };
    for (Case const& c : {Case{valid.left(37), "message data length too small"},
                          Case{withByte(valid, 35, 2), "message header type invalid (must be 0 or 1)"},
                          Case{withByte(withByte(valid, 0, 'm'), 1, 'c'), "message code invalid (must be MC)"}}) {
        try {
            oxa::ZUVAHeader header(c.data);
            ADD_FAILURE() << "accepted, expected: " << c.message;
        } catch (std::invalid_argument const& error) {
            EXPECT_STREQ(c.message, error.what());
        }
    }
}

// Out of range, encoded or decoded, becomes zero; decoded values above the
// range must not wrap into it (4294967297 is 1 cut to 32 bits).
TEST(ECTMessageLength, fourPackedDecimalDigitsUpTo9999)
{
    EXPECT_EQ(9999, oxa::ECTMessageLength(oxa::ECTMessageLength(9999).data()).length());
    EXPECT_EQ("12 34", hexOf(oxa::ECTMessageLength(1234).data()));
    EXPECT_EQ("00 00", hexOf(oxa::ECTMessageLength(10000).data()));
    EXPECT_EQ(0, oxa::ECTMessageLength(-1).length());
    EXPECT_EQ(0, oxa::ECTMessageLength(berData("004294967297")).length());
}
