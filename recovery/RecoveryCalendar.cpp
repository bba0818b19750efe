#include "recovery/RecoveryCalendar.h"

#include "foundation/Time.h"

#include <QDateTime>

namespace ect {
namespace {

// The second of the fields read with the daylight-saving flag given, and
// whether the zone shows those very fields at that second.
bool shownWith(std::tm fields, int daylightSaving, qint64 asUtc, qint64& seconds)
{
    fields.tm_isdst = daylightSaving;
    fields.tm_wday = -1;
    seconds = static_cast<qint64>(std::mktime(&fields));
    return fields.tm_wday != -1 && seconds + fields.tm_gmtoff == asUtc;
}

} // namespace

// Each flag is tried: mktime left to find it picks one of the two readings of
// the hour that occurs twice by what it converted before.
qint64 RecoveryCalendar::toSeconds(const std::tm& localTime)
{
    std::tm fields = localTime;
    const qint64 asUtc = static_cast<qint64>(timegm(&fields));
    qint64 standard = -1;
    qint64 summer = -1;
    const bool standardShown = shownWith(localTime, 0, asUtc, standard);
    const bool summerShown = shownWith(localTime, 1, asUtc, summer);
    return summerShown && (!standardShown || summer < standard) ? summer : standard;
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
