#include "engine/base/ECTCertificationLogging.h"

#include "engine/base/HostWarning.h"

#include "common/OwnFile.h"

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
    std::lock_guard<vorsam::LibraryMutex> settings(settingsMutex_);
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
    std::string refusal;
    bool tellHost = false;
    {
        std::lock_guard<vorsam::LibraryMutex> writing(fileMutex_);
        refusal = append(target.filePath, dated ? currentDateAsString() + ": " + line : line);
        tellHost = !refusal.empty() && !refusalReported_;
        refusalReported_ = !refusal.empty();
    }
    std::cout.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cout.flush();
    // Once for a run of refused entries; the warning's own entry is refused too, without a word.
    if (tellHost)
        HostWarning::report(refusal);
}

ECTCertificationLogging::Destination ECTCertificationLogging::destination() const
{
    std::lock_guard<vorsam::LibraryMutex> settings(settingsMutex_);
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

std::string ECTCertificationLogging::append(std::string const& filePath, std::string const& line)
{
    // The log holds card data: readable by its owner alone, never written through
    // a link planted under its name nor held up by a FIFO without reader; closed on
    // exec, so a program the host starts meanwhile does not inherit it.
    std::string reason;
    int const file = ect::OwnFile::open(filePath, O_WRONLY | O_CREAT | O_APPEND, reason);
    if (file < 0)
        return reason.empty() ? reason : refused(filePath, reason);
    ect::OwnFile::writeAll(file, line.data(), line.size());
    ::close(file);
    return std::string();
}

std::string ECTCertificationLogging::refused(std::string const& filePath, std::string const& reason)
{
    return "The certification log is not written to " + filePath + ": " + reason;
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
