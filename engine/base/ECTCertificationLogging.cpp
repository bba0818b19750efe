#include "engine/base/ECTCertificationLogging.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace oxa {

ECTCertificationLogging& ECTCertificationLogging::sharedInstance()
{
    // Never destroyed: Qt's message handler and worker threads may still log
    // while static objects are torn down at process exit.
    static ECTCertificationLogging* const instance = new ECTCertificationLogging;
    return *instance;
}

ECTCertificationLogging::ECTCertificationLogging() = default;

ECTCertificationLogging::ECTCertificationLogging(ECTCertificationLogging const&)
    : ECTCertificationLogging()
{
}

ECTCertificationLogging& ECTCertificationLogging::operator=(ECTCertificationLogging const&)
{
    return *this;
}

void ECTCertificationLogging::updateEnvironment(std::string key, std::string value)
{
    if (key == "certificationModeEnabled") {
        enabled_ = value == "true";
        return;
    }
    std::lock_guard<std::mutex> settings(settingsMutex_);
    if (key == "certificationFileName") {
        fileName_ = std::move(value);
        hasFileName_ = true;
    } else if (key == "certificationFilePath") {
        folder_ = std::move(value);
        hasFolder_ = true;
    }
}

bool ECTCertificationLogging::isLogging() const
{
    return enabled_ && destination().complete;
}

void ECTCertificationLogging::log(std::string text) const
{
    log(std::move(text), true);
}

void ECTCertificationLogging::logWithoutDate(std::string text) const
{
    log(std::move(text), false);
}

void ECTCertificationLogging::log(std::string text, bool dated) const
{
    if (!enabled_)
        return;
    Destination const target = destination();
    if (!target.complete)
        return;
    std::string const line = printable(std::move(text)) + '\n';
    {
        std::lock_guard<std::mutex> writing(fileMutex_);
        append(target.filePath, dated ? currentDateAsString() + ": " + line : line);
    }
    std::cout.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cout.flush();
}

ECTCertificationLogging::Destination ECTCertificationLogging::destination() const
{
    std::lock_guard<std::mutex> settings(settingsMutex_);
    Destination target;
    target.complete = hasFolder_ && hasFileName_;
    bool const endsWithSlash = !folder_.empty() && folder_.back() == '/';
    target.filePath = folder_ + (endsWithSlash ? "" : "/") + fileName_;
    return target;
}

std::string ECTCertificationLogging::printable(std::string text)
{
    // Decided on the byte value, not the locale: bytes from 0x80 up are never printable.
    for (char& character : text) {
        auto const byte = static_cast<unsigned char>(character);
        bool const keep = (byte >= 0x20 && byte <= 0x7E) || byte == '\t' || byte == '\n' || byte == '\r';
        if (!keep)
            character = '.';
    }
    return text;
}

void ECTCertificationLogging::append(std::string const& filePath, std::string const& line)
{
    // Closed on exec: a program the host starts meanwhile must not inherit it.
    int const file = ::open(filePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (file < 0)
        return;
    for (std::size_t written = 0; written < line.size();) {
        ssize_t const taken = ::write(file, line.data() + written, line.size() - written);
        if (taken < 0 && errno == EINTR)
            continue;
        if (taken <= 0)
            break;
        written += static_cast<std::size_t>(taken);
    }
    ::close(file);
}

std::string currentDateAsString()
{
    std::time_t const now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dateAsString(local);
}

std::string dateAsString(std::tm const& time)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", time.tm_year + 1900, time.tm_mon + 1,
                  time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

} // namespace oxa
