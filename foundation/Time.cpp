#include "foundation/Time.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace vorsam {
namespace time {

unsigned int maxDatetimeBufferSize = 200;

namespace {

const std::size_t TodayBufferSize = 80;

// time_t is 32 bits on some targets: refuse what it cannot hold rather than wrap.
std::time_t toTimeT(std::chrono::system_clock::time_point timePoint)
{
    const std::int64_t seconds =
        std::chrono::floor<std::chrono::seconds>(timePoint.time_since_epoch()).count();
    if (seconds < std::numeric_limits<std::time_t>::min() || seconds > std::numeric_limits<std::time_t>::max())
        throw std::out_of_range("Time point outside the calendar range of this platform");
    return static_cast<std::time_t>(seconds);
}

std::tm localCalendarTime(std::time_t seconds)
{
    std::tm calendar{};
    if (!localtime_r(&seconds, &calendar))
        throw std::out_of_range("Time outside the calendar range of this platform");
    return calendar;
}

std::string formatInto(std::vector<char>& buffer, const std::tm& time, const std::string& format)
{
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), format.c_str(), &time);
    return std::string(buffer.data(), length);
}

bool saysUtc(const std::string& text, const std::string& format)
{
    return format.find("%Z") != std::string::npos
        && (text.find("GMT") != std::string::npos || text.find("UTC") != std::string::npos);
}

// mktime and timegm return -1 both for failure and for one second before
// the epoch; only a successful conversion fills in the weekday.
std::time_t toSeconds(const std::tm& calendar, bool utc)
{
    std::tm probe = calendar;
    probe.tm_wday = -1;
    const std::time_t seconds = utc ? timegm(&probe) : std::mktime(&probe);
    if (seconds == static_cast<std::time_t>(-1) && probe.tm_wday == -1)
        throw std::out_of_range("Calendar time cannot be converted on this platform");
    return seconds;
}

} // namespace

std::tm today()
{
    return localCalendarTime(std::time(nullptr));
}

std::string today(const std::string& format)
{
    std::vector<char> buffer(TodayBufferSize, '\0');
    return formatInto(buffer, today(), format);
}

std::tm localTimeFromTimePoint(std::chrono::system_clock::time_point timePoint)
{
    return localCalendarTime(toTimeT(timePoint));
}

std::string stringFromTm(const std::tm& time, const std::string& format)
{
    if (format.empty())
        return std::string();
    std::vector<char> buffer(2 * format.size());
    std::string text = formatInto(buffer, time, format);
    while (text.empty() && buffer.size() <= maxDatetimeBufferSize) {
        buffer.resize(2 * buffer.size());
        text = formatInto(buffer, time, format);
    }
    return text;
}

std::string stringFromTimePoint(const std::chrono::system_clock::time_point& timePoint, const std::string& format)
{
    return stringFromTm(localTimeFromTimePoint(timePoint), format);
}

std::chrono::system_clock::time_point timePointFromString(std::string text, const std::string& format)
{
    if (format.find("%Z") != std::string::npos) {
        const std::size_t zulu = text.rfind('Z');
        if (zulu != std::string::npos)
            text.replace(zulu, 1, "GMT");
    }
    std::tm calendar{};
    strptime(text.c_str(), format.c_str(), &calendar);
    calendar.tm_isdst = -1;
    const std::int64_t seconds = toSeconds(calendar, saysUtc(text, format));
    return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
}

std::tm getLocalTime(std::string text, const std::string& format)
{
    return localTimeFromTimePoint(timePointFromString(std::move(text), format));
}

} // namespace time
} // namespace vorsam
