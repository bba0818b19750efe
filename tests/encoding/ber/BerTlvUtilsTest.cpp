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
