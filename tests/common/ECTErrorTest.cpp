#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <gtest/gtest.h>

using namespace ect;

TEST(ECTErrorTest, IncidentCodeSuccessIsExactlyTwoCodes)
{
    for (char const* success : {"0000", "0001"})
        EXPECT_TRUE(ECTIncidentCode(success).isSuccess() && !ECTIncidentCode(success).isErrorCode()) << success;
    for (char const* failure : {"", "0002", " 0000", "00001"})
        EXPECT_TRUE(ECTIncidentCode(failure).isErrorCode()) << failure;
}

TEST(ECTErrorTest, OriginalSaleSystemActionIdentifier)
{
    EXPECT_FALSE(ECTError(ECTErrorCode::Rejected).originalSaleSystemActionIdentifier());
    ECTError error(ECTErrorCode::Rejected, {{"saleSystemActionIdentifier", "0000002A"}});
    ASSERT_TRUE(error.originalSaleSystemActionIdentifier());
    EXPECT_EQ(42u, error.originalSaleSystemActionIdentifier()->value());
    error.addExtraInfo("saleSystemActionIdentifier", "00002A");
    EXPECT_THROW(error.originalSaleSystemActionIdentifier(), ECTError);
}
