#include "LatencySamples.h"

#include <algorithm>
#include <cstdio>

int64_t LatencySamples::quantile(double fraction)
{
    if (m_nanoseconds.empty())
        return 0;
    if (!m_sorted) {
        std::sort(m_nanoseconds.begin(), m_nanoseconds.end());
        m_sorted = true;
    }
    const size_t last = m_nanoseconds.size() - 1;
    return m_nanoseconds[std::min(last, static_cast<size_t>(fraction * static_cast<double>(last) + 0.5))];
}

std::string LatencySamples::summary()
{
    return "median " + microseconds(quantile(0.5)) + ", p99 " + microseconds(quantile(0.99)) + " ("
           + std::to_string(size()) + " samples)";
}

std::string LatencySamples::microseconds(int64_t nanoseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f us", static_cast<double>(nanoseconds) / 1000.0);
    return text;
}
