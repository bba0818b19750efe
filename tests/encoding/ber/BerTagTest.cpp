#include "encoding/ber/BerTag.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

using Ber::BerData;
using Ber::BerTag;

TEST(BerTag, BytesAndConstructedFlag)
{
    EXPECT_TRUE(BerTag(0xBF, 0x81, 0x01).isConstructed());
    EXPECT_FALSE(BerTag(0x5F, 0x2A).isConstructed());
    EXPECT_FALSE(BerTag().isConstructed());
    EXPECT_EQ("DF9468", BerTag(0xDF, 0x94, 0x68).hex());
}
