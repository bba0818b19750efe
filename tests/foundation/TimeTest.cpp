#include "foundation/Time.h"

#include "tests/support/LocalTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <stdexcept>

// The test program runs in Central European time (see FoundationEnvironment.cpp).
namespace vt = vorsam::time;
using std::chrono::system_clock;

namespace {

std::int64_t secondsOf(system_clock::time_point timePoint)
{
    return std::chrono::duration_cast<std::chrono::seconds>(timePoint.time_since_epoch()).count();
}

} // namespace

TEST(CalendarTime, FormatsIntoAGrowingBufferAndNeverReadsPastIt)
{
    const std::tm march5th2019 = testsupport::localTime(2019, 3, 5, 10, 0, 0);
    EXPECT_EQ(vt::stringFromTm(march5th2019, "%Y%m%d"), "20190305");
    // %c needs 24 characters: buffers of 4, 8 and 16 fail, 32 succeeds.
    EXPECT_EQ(vt::stringFromTm(march5th2019, "%c"), "Tue Mar  5 10:00:00 2019");
    const std::string longFormat(60, 'x');
    EXPECT_EQ(vt::today(longFormat + "%Y" + longFormat), "");
    vt::maxDatetimeBufferSize = 10;
    EXPECT_EQ(vt::stringFromTm(march5th2019, "%c"), "");
    vt::maxDatetimeBufferSize = 200;
}

// The C library decides daylight saving; texts that say UTC are read as UTC.
TEST(CalendarTime, ParsesLocalAndUtcTexts)
{
    const struct {
        const char* text;
        const char* format;
        std::int64_t seconds;
    } cases[] = {{"2019-07-01 12:00:00", "%Y-%m-%d %H:%M:%S", 1561975200}, // 12:00 CEST
                 {"2019-01-01 12:00:00", "%Y-%m-%d %H:%M:%S", 1546340400}, // 12:00 CET
                 {"2019-03-05T10:00:00Z", "%Y-%m-%dT%H:%M:%S%Z", 1551780000},
                 {"2019-07-01T10:00:00 GMT", "%Y-%m-%dT%H:%M:%S %Z", 1561975200},
                 // Without a %Z directive a trailing Z is only text to match: local time.
                 {"2019-03-05T10:00:00Z", "%Y-%m-%dT%H:%M:%SZ", 1551776400}};
    for (const auto& c : cases)
        EXPECT_EQ(secondsOf(vt::timePointFromString(c.text, c.format)), c.seconds) << c.text << " " << c.format;
    EXPECT_EQ(vt::getLocalTime("2019-07-01 12:30:15", "%Y-%m-%d %H:%M:%S").tm_isdst, 1);
    // Half a second before the epoch still lies in the last second of 1969.
    EXPECT_EQ(vt::stringFromTimePoint(system_clock::time_point(std::chrono::milliseconds(-500)), "%Y-%m-%d %H:%M:%S"),
              "1970-01-01 00:59:59");
}

TEST(CalendarTime, UsesSixtyFourBitSecondsOrReportsWhatTimeTCannotHold)
{
    const auto year2040 = [] { return vt::timePointFromString("2040-01-01T00:00:00Z", "%Y-%m-%dT%H:%M:%S%Z"); };
    const system_clock::time_point later(std::chrono::seconds(2208988800LL));
    if (sizeof(std::time_t) < 8) {
        EXPECT_THROW(year2040(), std::out_of_range);
        EXPECT_THROW(vt::localTimeFromTimePoint(later), std::out_of_range);
    } else {
        EXPECT_EQ(secondsOf(year2040()), 2208988800LL);
        EXPECT_EQ(vt::localTimeFromTimePoint(later).tm_year, 140);
    }
}
