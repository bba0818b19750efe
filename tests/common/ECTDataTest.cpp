#include "common/ECTData.h"
#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using namespace ect;

namespace {

ECTData bytes(std::vector<unsigned char> const& values)
{
    return ECTData(values);
}

} // namespace

TEST(ECTDataTest, PackedDecimalValueAndSubranges)
{
    EXPECT_EQ(123, bytes({0x12, 0x3A}).ZUVALongValue());
    EXPECT_EQ(std::numeric_limits<long long>::max(),
              bytes({0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}).ZUVALongValue());

    ECTData const data = bytes({1, 2, 3, 4, 5});
    EXPECT_EQ(bytes({3, 4, 5}), data.subdataWithRange(2, 3));
    EXPECT_EQ(0, data.subdataWithRange(3, 3).length());
    EXPECT_EQ(0, data.subdataWithRange(1, 0xFFFFFFFFu).length()); // the end wraps below the start
    EXPECT_EQ(0, data.subdataWithRange(-5, 2).length());          // the end wraps beyond the data
    EXPECT_THROW(data.subdataWithRange(-1, 2), std::out_of_range);
}

TEST(ECTSaleSystemActionIdentifierTest, FourBytesOnly)
{
    ECTSaleSystemActionIdentifier const fromNumber(258ul);
    EXPECT_EQ("00000102", fromNumber.stringValue());
    EXPECT_EQ(0xFFFFFFFFu, ECTSaleSystemActionIdentifier(0xFFFFFFFFul).value());
    for (std::vector<unsigned char> const& wrongSize : {std::vector<unsigned char>{1, 2, 3}, {1, 2, 3, 4, 5}}) {
        try {
            ECTSaleSystemActionIdentifier{bytes(wrongSize)};
            ADD_FAILURE() << wrongSize.size() << " bytes accepted";
        } catch (ECTError const& error) {
            EXPECT_EQ(ECTErrorCode::Technical_Issue, error.code());
            EXPECT_EQ(51, static_cast<int>(*error.causeCode()));
        }
    }
}
