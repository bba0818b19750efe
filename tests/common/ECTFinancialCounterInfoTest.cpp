#include "common/ECTFinancialCounterInfo.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace ect;
using Service = ECTFinancialCounterInfoAccountedServices;

// Every field of a record is read, dates with each calendar field defined.
TEST(ECTFinancialCounterInfoTest, ReadsAllFieldsAndTheNineServices)
{
    ECTFinancialCounterInfo info(
        R"({"financialCounterIdentifier": "01", "financialCounterCurrency": "EUR",
            "financialCounterLabelName": "Counter", "financialCounterNumberOfTransactions": 12,
            "financialCounterCumulativeTotalAmount": 123.45, "financialCounterPeriodNumber": "0007",
            "financialCounterCardBrandIdentifier": "1001", "financialCounterTerminalIdentifier": "12345678",
            "financialCounterPeriodOpeningDate": "2017-05-12", "financialCounterPeriodClosingDate": null,
            "financialCounterAccountedServices": "100000001"})");
    EXPECT_EQ("01 EUR Counter 0007 1001 12345678", info.identifier() + " " + info.currencyCode() + " " + info.name()
                                                       + " " + info.periodNumber() + " " + info.cardBrandIdentifier()
                                                       + " " + info.terminalIdentifier());
    EXPECT_EQ(12, info.transactionsNumber());
    EXPECT_DOUBLE_EQ(123.45, info.cumulativeTotalAmount());
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
    EXPECT_EQ("11 | Sale | Cash Advance", info.accountedServicesDescription());
    EXPECT_THROW(info.linkService(Service::Reservation), std::out_of_range);
}
