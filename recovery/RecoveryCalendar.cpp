#include "recovery/RecoveryCalendar.h"

#include "foundation/Time.h"

#include <QDateTime>

namespace ect {
namespace {

const qint64 secondsPerDay = 86400;

// The second of the fields read with the daylight-saving flag given, and
// whether the zone shows those very fields at that second.
bool shownWith(std::tm fields, int daylightSaving, qint64 asUtc, qint64& seconds)
{
    fields.tm_isdst = daylightSaving;
    fields.tm_wday = -1;
    seconds = static_cast<qint64>(std::mktime(&fields));
    return fields.tm_wday != -1 && seconds + fields.tm_gmtoff == asUtc;
}

// The zone's offset from UTC at a second; 0 when it can't be told.
long offsetAt(qint64 seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm fields{};
    return localtime_r(&time, &fields) ? fields.tm_gmtoff : 0;
}

} // namespace

// mktime left to find daylight saving picks one of the two readings of the
// hour that occurs twice by what it converted before; the earlier one lies at
// the offset the zone had a day before, where the clocks went back within it.
// Forcing the flag instead costs a search far afield where the zone has no
// summer time.
qint64 RecoveryCalendar::toSeconds(const std::tm& localTime)
{
    std::tm fields = localTime;
    const qint64 asUtc = static_cast<qint64>(timegm(&fields));
    qint64 seconds = -1;
    if (!shownWith(localTime, -1, asUtc, seconds)) {
        // An hour the clocks skipped, or no conversion at all.
        shownWith(localTime, 0, asUtc, seconds);
        return seconds;
    }
    const qint64 earlier = asUtc - offsetAt(seconds - secondsPerDay);
    return earlier < seconds && earlier + offsetAt(earlier) == asUtc ? earlier : seconds;
}

std::tm RecoveryCalendar::fromSeconds(qint64 seconds)
{
    std::tm result{};
    const std::time_t time = static_cast<std::time_t>(seconds);
    if (static_cast<qint64>(time) != seconds || !localtime_r(&time, &result))
        return std::tm{};
    return result;
}

std::tm RecoveryCalendar::nextDay(const std::tm& localTime)
{
    const QDateTime sameTime = QDateTime::fromSecsSinceEpoch(toSeconds(localTime), Qt::LocalTime);
    return fromSeconds(sameTime.addDays(1).toSecsSinceEpoch());
}

std::string RecoveryCalendar::format(const std::tm& localTime, const std::string& pattern)
{
    return vorsam::time::stringFromTm(localTime, pattern);
}

qint64 RecoveryCalendar::now()
{
    return QDateTime::currentSecsSinceEpoch();
}

} // namespace ect
