#include "common/ECTFinancialCounterInfo.h"

#include "support/LocalTime.h"

#include <gtest/gtest.h>

#include <sstream>
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
    // Summer time or not is the zone's to say on that day.
    EXPECT_EQ(std::make_tuple(117, 4, 12, 0, 0, 0, -1), std::make_tuple(opening.tm_year, opening.tm_mon, opening.tm_mday,
                                                                       opening.tm_hour, opening.tm_min, opening.tm_sec,
                                                                       opening.tm_isdst));
    EXPECT_FALSE(info.periodClosingDate());
    EXPECT_EQ("100000001 | Sale | Cancellation", info.accountedServicesDescription());
    info.linkService(static_cast<Service>(9));
    EXPECT_FALSE(info.isServiceLinked(static_cast<Service>(9)));
    info.setAccountedServicesBinayValue("11");
    EXPECT_THROW(info.linkService(Service::Reservation), std::out_of_range);
}

// A total or count the terminal did not send, or one the library could not
// read, is no 0: the result says whether one came.
TEST(ECTFinancialCounterInfoTest, SaysWhetherATotalAndACountCame)
{
    const std::pair<const char*, const char*> rows[] = {
        {R"({"financialCounterNumberOfTransactions": 0, "financialCounterCumulativeTotalAmount": 0})", "0 0 yes yes"},
        {R"({"financialCounterNumberOfTransactions": 3, "financialCounterCumulativeTotalAmount": 2.5})", "3 2.5 yes yes"},
        {R"({"financialCounterCumulativeTotalAmount": 2.5})", "0 2.5 no yes"},
        {R"({"financialCounterCurrency": "EUR"})", "0 0 no no"},
        // A count past 32 bits costs only itself.
        {R"({"financialCounterNumberOfTransactions": 9999999999, "financialCounterCumulativeTotalAmount": 2.5})",
         "0 2.5 no yes"},
    };
    for (const auto& row : rows) {
        const ECTFinancialCounterInfo info(row.first);
        std::ostringstream read;
        read << info.transactionsNumber() << " " << info.cumulativeTotalAmount() << " "
             << (info.hasTransactionsNumber() ? "yes" : "no") << " " << (info.hasCumulativeTotalAmount() ? "yes" : "no");
        EXPECT_EQ(read.str(), row.second) << row.first;
    }
}

// mktime of a counter's date keeps its hour in summer too, in any zone.
TEST(ECTFinancialCounterInfoTest, DatesKeepTheZonesSummerTime)
{
    for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0"}) {
        testsupport::LocalZone local(zone);
        for (const char* date : {"2024-07-14-14-00-00", "2024-07-14-23-30-00", "2024-01-14-14-00-00"}) {
            ECTFinancialCounterInfo info(std::string(R"({"financialCounterPeriodOpeningDate": ")") + date + "\"}");
            std::tm opening = info.periodOpeningDate().value();
            const int hour = opening.tm_hour;
            const int day = opening.tm_mday;
            std::mktime(&opening);
            EXPECT_EQ(std::make_pair(day, hour), std::make_pair(opening.tm_mday, opening.tm_hour)) << zone << " " << date;
        }
    }
}
