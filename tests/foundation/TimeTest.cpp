#include "foundation/Time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <stdexcept>

namespace vt = vorsam::time;
using std::chrono::system_clock;

namespace {

// Central European time without the zone database: DST from the last Sunday
// of March to the last Sunday of October.
class CalendarTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* zone = std::getenv("TZ");
        savedZone_ = zone ? std::optional<std::string>(zone) : std::nullopt;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override
    {
        savedZone_ ? setenv("TZ", savedZone_->c_str(), 1) : unsetenv("TZ");
        tzset();
        vt::maxDatetimeBufferSize = 200;
    }

    static std::int64_t secondsOf(system_clock::time_point timePoint)
    {
        return std::chrono::duration_cast<std::chrono::seconds>(timePoint.time_since_epoch()).count();
    }

private:
    std::optional<std::string> savedZone_;
};

std::tm march5th2019()
{
    std::tm date{};
    date.tm_year = 119;
    date.tm_mon = 2;
    date.tm_mday = 5;
    date.tm_hour = 10;
    date.tm_wday = 2;
    return date;
}

} // namespace

TEST_F(CalendarTime, FormatsIntoAGrowingBufferAndNeverReadsPastIt)
{
    EXPECT_EQ(vt::stringFromTm(march5th2019(), "%Y%m%d"), "20190305");
    EXPECT_EQ(vt::stringFromTm(march5th2019(), ""), "");
    // %c needs 24 characters: buffers of 4, 8 and 16 fail, 32 succeeds.
    EXPECT_EQ(vt::stringFromTm(march5th2019(), "%c"), "Tue Mar  5 10:00:00 2019");
    EXPECT_EQ(vt::today("%Y").size(), 4u);
    const std::string longFormat(60, 'x');
    EXPECT_EQ(vt::today(longFormat + "%Y" + longFormat), "");
    vt::maxDatetimeBufferSize = 10;
    EXPECT_EQ(vt::stringFromTm(march5th2019(), "%c"), "");
}

// The C library decides daylight saving; texts that say UTC are read as UTC.
TEST_F(CalendarTime, ParsesLocalAndUtcTexts)
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
}

TEST_F(CalendarTime, UsesSixtyFourBitSecondsOrReportsWhatTimeTCannotHold)
{
    const char* text = "2040-01-01T00:00:00Z";
    const char* format = "%Y-%m-%dT%H:%M:%S%Z";
    if (sizeof(std::time_t) < 8) {
        EXPECT_THROW(vt::timePointFromString(text, format), std::out_of_range);
        EXPECT_THROW(vt::localTimeFromTimePoint(system_clock::time_point(std::chrono::seconds(2208988800LL))),
                     std::out_of_range);
    } else {
        EXPECT_EQ(secondsOf(vt::timePointFromString(text, format)), 2208988800LL);
        EXPECT_EQ(vt::localTimeFromTimePoint(system_clock::time_point(std::chrono::seconds(2208988800LL))).tm_year,
                  140);
    }
}

TEST_F(CalendarTime, ConvertsTimePointsToLocalCalendarTime)
{
    const std::tm parsed = vt::getLocalTime("2019-07-01 12:30:15", "%Y-%m-%d %H:%M:%S");
    EXPECT_EQ(vt::stringFromTm(parsed, "%Y-%m-%d %H:%M:%S"), "2019-07-01 12:30:15");
    EXPECT_EQ(parsed.tm_isdst, 1);
    // Half a second before the epoch still lies in the last second of 1969.
    const auto beforeEpoch = system_clock::time_point(std::chrono::milliseconds(-500));
    EXPECT_EQ(vt::stringFromTimePoint(beforeEpoch, "%Y-%m-%d %H:%M:%S"), "1970-01-01 00:59:59");
}
