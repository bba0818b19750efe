#include "encoding/ber/BerData.h"

#include "BerTestBytes.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using Ber::BerData;
using bertest::bytes;

TEST(BerData, ZUVALongValueReadsTheLeadingDecimalDigits)
{
    struct Case { char const* hex; int64_t value; };
    for (Case const& c : {Case{"12 34", 1234}, Case{"12 3A", 123}, Case{"A1 23", 0},
                          Case{"92 23 37 20 36 85 47 75 80 7F", 9223372036854775807LL},
                          Case{"99 99 99 99 99 99 99 99 99 99 99 99", std::numeric_limits<int64_t>::max()}})
        EXPECT_EQ(c.value, bytes(c.hex).ZUVALongValue()) << c.hex;
}

TEST(BerData, AppendAndSubdataWithRangeOutsideTheBuffer)
{
    BerData data({1, 2});
    data.appendData(BerData({3, 4, 5}));
    EXPECT_EQ(BerData({3, 4, 5}), data.subdataWithRange(2, 3));
    EXPECT_EQ(BerData(), data.subdataWithRange(3, 3));
    EXPECT_EQ(BerData(), data.subdataWithRange(2, 0xFFFFFFFFu));  // the end wraps below the offset
    EXPECT_EQ(BerData(), data.subdataWithRange(-5, 2));
    EXPECT_THROW(data.subdataWithRange(-1, 3), std::out_of_range);
}
