#include "common/ECTData.h"
#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using namespace ect;

TEST(ECTDataTest, PackedDecimalValueAndSubranges)
{
    EXPECT_EQ(123, ECTData({0x12, 0x3A}).ZUVALongValue());
    EXPECT_EQ(std::numeric_limits<long long>::max(),
              ECTData({0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}).ZUVALongValue());

    ECTData const data({1, 2, 3, 4, 5});
    EXPECT_EQ(ECTData({3, 4, 5}), data.subdataWithRange(2, 3));
    EXPECT_EQ(0, data.subdataWithRange(3, 3).length());
    EXPECT_EQ(0, data.subdataWithRange(1, 0xFFFFFFFFu).length()); // the end wraps below the start
    EXPECT_EQ(0, data.subdataWithRange(-5, 2).length());          // the end wraps beyond the data
    EXPECT_THROW(data.subdataWithRange(-1, 2), std::out_of_range);
}

TEST(ECTSaleSystemActionIdentifierTest, FourBytesOnly)
{
    EXPECT_EQ("00000102", ECTSaleSystemActionIdentifier(258ul).stringValue());
    for (ECTData const& wrongSize : {ECTData({1, 2, 3}), ECTData({1, 2, 3, 4, 5})}) {
        try {
            ECTSaleSystemActionIdentifier{wrongSize};
            ADD_FAILURE() << wrongSize.length() << " bytes accepted";
        } catch (ECTError const& error) {
            EXPECT_EQ(51, static_cast<int>(*error.causeCode()));
        }
    }
}
