#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace vorsam {
namespace time {

// Largest buffer stringFromTm grows to; a host may change it.
extern unsigned int maxDatetimeBufferSize;

// Local calendar time now.
std::tm today();
// Local calendar time now in strftime format; empty when it needs 80 bytes or more.
std::string today(const std::string& format);

// Throws std::out_of_range when the platform's time_t cannot hold the time point.
std::tm localTimeFromTimePoint(std::chrono::system_clock::time_point timePoint);

// Empty for an empty format or output longer than maxDatetimeBufferSize allows.
std::string stringFromTm(const std::tm& time, const std::string& format);
std::string stringFromTimePoint(const std::chrono::system_clock::time_point& timePoint,
                                const std::string& format);

// Parses the text with strptime as local time (the C library decides
// daylight saving), or as UTC when a %Z zone in the text says "Z", "GMT" or "UTC".
// Fields the text does not give stay 0. Throws std::out_of_range when the
// calendar time cannot be converted (e.g. beyond a 32-bit time_t).
std::chrono::system_clock::time_point timePointFromString(std::string text, const std::string& format);
std::tm getLocalTime(std::string text, const std::string& format);

} // namespace time
} // namespace vorsam
