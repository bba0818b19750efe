#include "common/ECTFinancialCounterInfo.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using namespace ect;
using Service = ECTFinancialCounterInfoAccountedServices;

namespace {

std::string counterJson(std::string const& services, std::string const& transactions = "12")
{
    return R"({
   "financialCounterIdentifier" : "01",
   "financialCounterCurrency" : "EUR",
   "financialCounterLabelName" : "Counter",
   "financialCounterNumberOfTransactions" : )" + transactions + R"(,
   "financialCounterCumulativeTotalAmount" : 123.45,
   "financialCounterPeriodNumber" : "0007",
   "financialCounterCardBrandIdentifier" : "1001",
   "financialCounterTerminalIdentifier" : "12345678",
   "financialCounterPeriodOpeningDate" : "2017-03-31-23-59-00",
   "financialCounterPeriodClosingDate" : "2017-05-12-10-20-30Z",
   "financialCounterAccountedServices" : ")" + services + R"("
}
)";
}

void expectDate(boost::optional<std::tm> const& date, int year, int month, int day, int hour, int minute,
                int second)
{
    ASSERT_TRUE(date);
    EXPECT_EQ(year - 1900, date->tm_year);
    EXPECT_EQ(month - 1, date->tm_mon);
    EXPECT_EQ(day, date->tm_mday);
    EXPECT_EQ(hour, date->tm_hour);
    EXPECT_EQ(minute, date->tm_min);
    EXPECT_EQ(second, date->tm_sec);
    EXPECT_EQ(0, date->tm_isdst);
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
    expectDate(info.periodOpeningDate(), 2017, 3, 31, 23, 59, 0);
    expectDate(info.periodClosingDate(), 2017, 5, 12, 10, 20, 30);
    EXPECT_TRUE(info.isServiceLinked(Service::Sale));
    EXPECT_TRUE(info.isServiceLinked(Service::Cancellation));
    EXPECT_FALSE(info.isServiceLinked(Service::Refund));
    EXPECT_EQ("100000001 | Sale | Cancellation", info.accountedServicesDescription());
}

TEST(ECTFinancialCounterInfoTest, ServicesTextIsNormalised)
{
    EXPECT_EQ("100000000", ECTFinancialCounterInfo(counterJson("1")).accountedServicesDescription().substr(0, 9));
    EXPECT_EQ("000000000", ECTFinancialCounterInfo(counterJson("0000000001111")).accountedServicesDescription());
    EXPECT_EQ("001000000 | Reservation", ECTFinancialCounterInfo(counterJson("2X1")).accountedServicesDescription());
    EXPECT_EQ("111111111 | Sale | Cash Advance | Reservation | Sale After Reservation | Card Validity Check"
              " | Refund | Deferred Sale | Extra on Sale | Cancellation",
              ECTFinancialCounterInfo(counterJson("111111111")).accountedServicesDescription());
    EXPECT_EQ("000000000", ECTFinancialCounterInfo("{}").accountedServicesDescription());
}

TEST(ECTFinancialCounterInfoTest, Dates)
{
    EXPECT_FALSE(ECTFinancialCounterInfo(R"({"financialCounterPeriodOpeningDate": null})").periodOpeningDate());
    EXPECT_FALSE(ECTFinancialCounterInfo("{}").periodClosingDate());
    expectDate(ECTFinancialCounterInfo(R"({"financialCounterPeriodOpeningDate": "2017-05-12"})").periodOpeningDate(),
               2017, 5, 12, 0, 0, 0);
    expectDate(ECTFinancialCounterInfo(R"({"financialCounterPeriodOpeningDate": ""})").periodOpeningDate(), 1900,
               1, 0, 0, 0, 0);
}

TEST(ECTFinancialCounterInfoTest, UnreadableInputKeepsEveryFieldDefined)
{
    ECTFinancialCounterInfo const wrongType(counterJson("111111111", "\"12\""));
    EXPECT_EQ("01", wrongType.identifier());
    EXPECT_EQ("Counter", wrongType.name());
    EXPECT_EQ(0, wrongType.transactionsNumber());
    EXPECT_EQ(0.0, wrongType.cumulativeTotalAmount());
    EXPECT_EQ("", wrongType.periodNumber());
    EXPECT_FALSE(wrongType.periodOpeningDate());
    EXPECT_EQ("000000000", wrongType.accountedServicesDescription());

    for (char const* text : {"not json", "[1, 2]", "\"text\"", "", "{\"financialCounterIdentifier\": {}}"}) {
        ECTFinancialCounterInfo const info(text);
        EXPECT_EQ("", info.identifier()) << text;
        EXPECT_EQ(0, info.transactionsNumber()) << text;
        EXPECT_EQ(0.0, info.cumulativeTotalAmount()) << text;
    }
}

TEST(ECTFinancialCounterInfoTest, LinkingServices)
{
    ECTFinancialCounterInfo info("{}");
    info.linkService(static_cast<Service>(9));
    info.linkService(static_cast<Service>(-1));
    EXPECT_FALSE(info.isServiceLinked(static_cast<Service>(9)));
    EXPECT_FALSE(info.isServiceLinked(static_cast<Service>(-1)));
    EXPECT_EQ("000000000", info.accountedServicesDescription());

    info.setAccountedServicesBinayValue("11");
    EXPECT_TRUE(info.isServiceLinked(Service::Sale));
    EXPECT_TRUE(info.isServiceLinked(Service::CashAdvance));
    EXPECT_FALSE(info.isServiceLinked(Service::Reservation));
    EXPECT_FALSE(info.isServiceLinked(Service::Cancellation));
    EXPECT_EQ("11 | Sale | Cash Advance", info.accountedServicesDescription());
    EXPECT_THROW(info.linkService(Service::Reservation), std::out_of_range);
}

TEST(ECTFinancialCounterInfoTest, CardBrandNames)
{
    auto const nameOf = [](std::string const& brand) {
        return ECTFinancialCounterInfo(R"({"financialCounterCardBrandIdentifier": ")" + brand + "\"}").cardBrandName();
    };
    EXPECT_EQ("Unknown", nameOf(""));
    EXPECT_EQ("Unknown", nameOf("9999"));
    EXPECT_EQ("Unknown", nameOf("1001 "));
    EXPECT_EQ(nameOf("2008"), nameOf("2009"));
    std::set<std::string> labels;
    for (char const* brand : {"0001", "0013", "1001", "1002", "1003", "1009", "1010", "1011", "1012",
                              "1013", "2002", "2003", "2004", "2005", "2007", "2008", "2012", "2013",
                              "3001", "3002", "3003", "3004", "3020", "3400", "4010"}) {
        EXPECT_NE("Unknown", nameOf(brand)) << brand;
        labels.insert(nameOf(brand));
    }
    EXPECT_EQ(25u, labels.size());
}
