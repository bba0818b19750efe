#pragma once

#include "foundation/LibraryMutex.h"

#include <QLoggingCategory>
#include <QString>

#include <chrono>
#include <cstdint>
#include <mutex>

namespace vorsam {

// Warnings the host must see even while the certification log is off; the
// engine hands them on as it does its own data-loss warnings.
Q_DECLARE_LOGGING_CATEGORY(hostWarnings)

// A warning of something that may recur many times a second: the first
// occurrence is reported, then at most one an interval, each with the
// number of occurrences since the one reported before.
class RateLimitedWarning {
public:
    explicit RateLimitedWarning(std::chrono::steady_clock::duration interval);

    void report(const QString& text);

private:
    const std::chrono::steady_clock::duration interval_;
    vorsam::LibraryMutex mutex_;
    std::uint64_t occurrences_ = 0;
    bool reported_ = false;
    std::chrono::steady_clock::time_point lastReport_;
};

} // namespace vorsam
