#pragma once

#include <QtGlobal>

#include <ctime>
#include <string>

namespace ect {

// Local calendar times of the recovery files. Re-entrant (no shared result
// buffers) and 64-bit in its second counts, whatever the size of time_t.
class RecoveryCalendar {
public:
    // Seconds since the epoch of a local calendar time (mktime rules, the
    // fields may be out of range); -1 when the platform can't convert it.
    // The zone decides daylight saving, whatever tm_isdst says: the earlier
    // reading of an hour that occurs twice, standard time in one skipped.
    static qint64 toSeconds(const std::tm& localTime);
    // Local calendar time of a second count; every field 0 when it can't be converted.
    static std::tm fromSeconds(qint64 seconds);
    // The same clock time on the next calendar day.
    static std::tm nextDay(const std::tm& localTime);
    // strftime text of a local calendar time.
    static std::string format(const std::tm& localTime, const std::string& pattern);
    static qint64 now();
};

} // namespace ect
