#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

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

// The process's local time zone set for a scope (TZ), the one before it
// back at its end. Only while no other thread reads the zone.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
        : m_hadZone(std::getenv("TZ") != nullptr)
        , m_previous(m_hadZone ? std::getenv("TZ") : "")
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~LocalZone()
    {
        if (m_hadZone)
            setenv("TZ", m_previous.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    const bool m_hadZone;
    const std::string m_previous;
};

} // namespace testsupport
