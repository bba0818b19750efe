#include "encoding/ber/BerTlvUtils.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;
using Ber::BerTlvUtils;
using bertest::bodyTree;

namespace {

BerTlv withLongValue()
{
    BerTlv e1(BerTag(0xE1));
    e1.addData(BerTag(0xD0), BerData(std::vector<unsigned char>(200, 0x41)));
    return e1;
}

}  // namespace

TEST(BerTlvUtils, SizeCountsOneByteForEveryLengthField)
{
    EXPECT_EQ(9u, Ber::sizeOfBerTlvData(bodyTree()));
    EXPECT_EQ(200u, Ber::sizeOfBerTlvData(withLongValue().children[0]));
    EXPECT_EQ(202u, Ber::sizeOfBerTlvData(withLongValue()));
    EXPECT_EQ(0u, Ber::sizeOfBerTlvData(BerTlv()));
}

// The counter goes on from the caller's offset.
TEST(BerTlvUtils, DumpsOneLinePerElement)
{
    int offset = 0;
    EXPECT_EQ("0000          F0 09\n"
              "0002          E1 07\n"
              "0004          D0 02 43 64    | [Cd]\n"
              "0008          D1 01 05    | [\x05]\n",
              BerTlvUtils::dumpDataRepresentation(bodyTree(), &offset));
    EXPECT_EQ(11, offset);
    EXPECT_EQ(BerTlvUtils::dumpDataRepresentation(bodyTree(), nullptr),
              BerTlvUtils::dumpDataRepresentation(bodyTree()));
    offset = 38;
    EXPECT_EQ("0038          DF 21 00     | []\n",
              BerTlvUtils::dumpDataRepresentation(BerTlv(BerTag(0xDF, 0x21), BerData()), &offset));
    EXPECT_EQ("0041          E1 00\n", BerTlvUtils::dumpDataRepresentation(BerTlv(BerTag(0xE1)), &offset));
    EXPECT_EQ(43, offset);
    offset = 12345;
    EXPECT_EQ("12345          C1 01 41    | [A]\n",
              BerTlvUtils::dumpDataRepresentation(BerTlv(BerTag(0xC1), BerData({0x41})), &offset));
}

TEST(BerTlvUtils, LongValuesAreCountedWithAOneByteLength)
{
    int offset = 0;
    std::string const dump = BerTlvUtils::dumpDataRepresentation(withLongValue(), &offset);
    EXPECT_EQ(0u, dump.find("0000          E1 CA\n0002          D0 C8 41 41 "));
    EXPECT_EQ(204, offset);
}
