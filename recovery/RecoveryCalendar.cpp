#include "recovery/RecoveryCalendar.h"

#include "foundation/Time.h"

#include <QDateTime>

namespace ect {

qint64 RecoveryCalendar::toSeconds(const std::tm& localTime)
{
    std::tm copy = localTime;
    return static_cast<qint64>(std::mktime(&copy));
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
