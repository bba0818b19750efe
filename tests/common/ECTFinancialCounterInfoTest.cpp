#include "common/ECTFinancialCounterInfo.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace ect;
using Service = ECTFinancialCounterInfoAccountedServices;

// Dates have every calendar field defined; only the nine known services can be linked.
TEST(ECTFinancialCounterInfoTest, ReadsDatesAndTheNineServices)
{
    ECTFinancialCounterInfo info(R"({"financialCounterNumberOfTransactions": 12,
        "financialCounterPeriodOpeningDate": "2017-05-12", "financialCounterPeriodClosingDate": null,
        "financialCounterAccountedServices": "100000001"})");
    EXPECT_EQ(12, info.transactionsNumber());
    ASSERT_TRUE(info.periodOpeningDate());
    const std::tm opening = *info.periodOpeningDate();
    EXPECT_EQ(std::make_tuple(117, 4, 12, 0, 0, 0, 0), std::make_tuple(opening.tm_year, opening.tm_mon, opening.tm_mday,
                                                                       opening.tm_hour, opening.tm_min, opening.tm_sec,
                                                                       opening.tm_isdst));
    EXPECT_FALSE(info.periodClosingDate());
    EXPECT_EQ("100000001 | Sale | Cancellation", info.accountedServicesDescription());
    info.linkService(static_cast<Service>(9));
    EXPECT_FALSE(info.isServiceLinked(static_cast<Service>(9)));
    info.setAccountedServicesBinayValue("11");
    EXPECT_THROW(info.linkService(Service::Reservation), std::out_of_range);
}
