#include "common/ECTFinancialCounterInfo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <stdexcept>

using namespace ect;
using Service = ECTFinancialCounterInfoAccountedServices;

namespace {

std::string counterJson(std::string const& services, std::string const& transactions = "12")
{
    return R"({"financialCounterIdentifier": "01", "financialCounterCurrency": "EUR",
               "financialCounterLabelName": "Counter", "financialCounterNumberOfTransactions": )"
           + transactions + R"(, "financialCounterCumulativeTotalAmount": 123.45,
               "financialCounterPeriodNumber": "0007", "financialCounterCardBrandIdentifier": "1001",
               "financialCounterTerminalIdentifier": "12345678",
               "financialCounterPeriodOpeningDate": "2017-03-31-23-59-00",
               "financialCounterPeriodClosingDate": "2017-05-12-10-20-30Z",
               "financialCounterAccountedServices": ")" + services + "\"}";
}

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

std::string openingDate(char const* value)
{
    return dateText(
        ECTFinancialCounterInfo(std::string(R"({"financialCounterPeriodOpeningDate": )") + value + "}")
            .periodOpeningDate());
}

} // namespace

TEST(ECTFinancialCounterInfoTest, ReadsAllFields)
{
    ECTFinancialCounterInfo const info(counterJson("100000001"));
    EXPECT_EQ("01", info.identifier());
    EXPECT_EQ("EUR", info.currencyCode());
    EXPECT_EQ("Counter", info.name());
    EXPECT_EQ(12, info.transactionsNumber());
    EXPECT_DOUBLE_EQ(123.45, info.cumulativeTotalAmount());
    EXPECT_EQ("0007", info.periodNumber());
    EXPECT_EQ("1001", info.cardBrandIdentifier());
    EXPECT_EQ("12345678", info.terminalIdentifier());
    EXPECT_EQ("2017-3-31 23:59:0 dst 0", dateText(info.periodOpeningDate()));
    EXPECT_EQ("2017-5-12 10:20:30 dst 0", dateText(info.periodClosingDate()));
    EXPECT_TRUE(info.isServiceLinked(Service::Sale));
    EXPECT_TRUE(info.isServiceLinked(Service::Cancellation));
    EXPECT_FALSE(info.isServiceLinked(Service::Refund));
    EXPECT_EQ("100000001 | Sale | Cancellation", info.accountedServicesDescription());

    EXPECT_EQ("none", openingDate("null"));
    EXPECT_EQ("2017-5-12 0:0:0 dst 0", openingDate("\"2017-05-12\""));
    EXPECT_EQ("1900-1-0 0:0:0 dst 0", openingDate("\"\""));
}

TEST(ECTFinancialCounterInfoTest, ServicesTextIsNormalised)
{
    auto const description = [](std::string const& services) {
        return ECTFinancialCounterInfo(counterJson(services)).accountedServicesDescription();
    };
    EXPECT_EQ("100000000", description("1").substr(0, 9));
    EXPECT_EQ("000000000", description("0000000001111"));
    EXPECT_EQ("001000000 | Reservation", description("2X1"));
    EXPECT_EQ("111111111 | Sale | Cash Advance | Reservation | Sale After Reservation | Card Validity Check"
              " | Refund | Deferred Sale | Extra on Sale | Cancellation",
              description("111111111"));
    EXPECT_EQ("000000000", ECTFinancialCounterInfo("{}").accountedServicesDescription());

    ECTFinancialCounterInfo info("{}");
    info.linkService(static_cast<Service>(9));
    info.linkService(static_cast<Service>(-1));
    EXPECT_FALSE(info.isServiceLinked(static_cast<Service>(9)));
    EXPECT_FALSE(info.isServiceLinked(static_cast<Service>(-1)));
    EXPECT_EQ("000000000", info.accountedServicesDescription());
    info.setAccountedServicesBinayValue("11");
    EXPECT_TRUE(info.isServiceLinked(Service::CashAdvance));
    EXPECT_FALSE(info.isServiceLinked(Service::Reservation));
    EXPECT_EQ("11 | Sale | Cash Advance", info.accountedServicesDescription());
    EXPECT_THROW(info.linkService(Service::Reservation), std::out_of_range);
}

