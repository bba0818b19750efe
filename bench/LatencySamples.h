#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Round-trip times in nanoseconds and their order statistics.
class LatencySamples {
public:
    void reserve(size_t count) { m_nanoseconds.reserve(count); }
    void add(int64_t nanoseconds)
    {
        m_nanoseconds.push_back(nanoseconds);
        m_sorted = false;
    }
    size_t size() const { return m_nanoseconds.size(); }

    // The value below which the given fraction of the samples lies (0.5: median).
    int64_t quantile(double fraction);
    // "median 123.4 us, p99 456.7 us (n samples)"
    std::string summary();

    static std::string microseconds(int64_t nanoseconds);

private:
    std::vector<int64_t> m_nanoseconds;
    bool m_sorted = false;
};
