#include "common/ECTFinancialCounterInfo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

using namespace ect;
using Service = ECTFinancialCounterInfoAccountedServices;

namespace {

// Every field of the calendar time, so that none is left undefined.
std::string dateText(boost::optional<std::tm> const& date)
{
    if (!date)
        return "none";
    char text[64];
    std::snprintf(text, sizeof(text), "%d-%d-%d %d:%d:%d dst %d", date->tm_year + 1900, date->tm_mon + 1,
                  date->tm_mday, date->tm_hour, date->tm_min, date->tm_sec, date->tm_isdst);
    return text;
}

} // namespace

TEST(ECTFinancialCounterInfoTest, ReadsAllFields)
{
    ECTFinancialCounterInfo const info(
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
    EXPECT_EQ("2017-5-12 0:0:0 dst 0", dateText(info.periodOpeningDate()));
    EXPECT_EQ("none", dateText(info.periodClosingDate()));
    EXPECT_EQ("100000001 | Sale | Cancellation", info.accountedServicesDescription());
}

TEST(ECTFinancialCounterInfoTest, ServicesOutsideTheNineAreIgnored)
{
    EXPECT_EQ("000000000", ECTFinancialCounterInfo("{}").accountedServicesDescription());
    ECTFinancialCounterInfo info("{}");
    info.linkService(static_cast<Service>(9));
    EXPECT_FALSE(info.isServiceLinked(static_cast<Service>(9)));
    info.setAccountedServicesBinayValue("11");
    EXPECT_EQ("11 | Sale | Cash Advance", info.accountedServicesDescription());
    EXPECT_THROW(info.linkService(Service::Reservation), std::out_of_range);
}
