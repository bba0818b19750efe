#pragma once

#include <ctime>

namespace testsupport {

// A local calendar time from its parts, normalised by mktime, which also
// decides daylight saving.
inline std::tm localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_isdst = -1;
    std::mktime(&time);
    return time;
}

} // namespace testsupport
