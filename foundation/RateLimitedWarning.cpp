#include "foundation/RateLimitedWarning.h"

namespace vorsam {

const QLoggingCategory& hostWarnings()
{
    static const QLoggingCategory& category = *new QLoggingCategory("zuva.hostwarning");
    return category;
}

RateLimitedWarning::RateLimitedWarning(std::chrono::steady_clock::duration interval)
    : interval_(interval)
{
}

void RateLimitedWarning::report(const QString& text)
{
    const auto now = std::chrono::steady_clock::now();
    std::uint64_t occurrences = 0;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(mutex_);
        ++occurrences_;
        if (reported_ && now - lastReport_ < interval_)
            return;
        reported_ = true;
        lastReport_ = now;
        occurrences = occurrences_;
        occurrences_ = 0;
    }
    const QString warning = QString("%1 (%2 time(s) since the last such warning)").arg(text).arg(occurrences);
    // Without a debug stream, whose checks under the sanitizers need
    // descriptors, which may be what has run out.
    qCWarning(hostWarnings, "%s", qUtf8Printable(warning));
}

} // namespace vorsam
