#pragma once

#include <cstddef>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace testsupport {

// One of the process's limits lowered for a while.
class LoweredLimit {
public:
    LoweredLimit(int resource, rlim_t limit)
        : resource_(resource)
    {
        ::getrlimit(resource_, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ::setrlimit(resource_, &lowered);
    }

    ~LoweredLimit() { ::setrlimit(resource_, &saved_); }

    LoweredLimit(const LoweredLimit&) = delete;
    LoweredLimit& operator=(const LoweredLimit&) = delete;

private:
    int resource_;
    rlimit saved_{};
};

// The process's free descriptors held here while it lives: up to `most` of
// them, less those that must stay free.
class HeldDescriptors {
public:
    static constexpr std::size_t All = std::numeric_limits<std::size_t>::max();

    explicit HeldDescriptors(std::size_t most, std::size_t free = 0)
    {
        for (int file; held_.size() < most && (file = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            held_.push_back(file);
        for (; free > 0 && !held_.empty(); --free) {
            ::close(held_.back());
            held_.pop_back();
        }
    }

    ~HeldDescriptors()
    {
        for (const int file : held_)
            ::close(file);
    }

    HeldDescriptors(const HeldDescriptors&) = delete;
    HeldDescriptors& operator=(const HeldDescriptors&) = delete;

    std::size_t count() const { return held_.size(); }

private:
    std::vector<int> held_;
};

// The descriptor limit lowered for a while and, unless all are to stay
// free, every descriptor under it but the free ones held.
class DescriptorsLeft {
public:
    DescriptorsLeft(rlim_t limit, rlim_t free)
        : limit_(RLIMIT_NOFILE, limit)
        , held_(free >= limit ? 0 : HeldDescriptors::All, free)
    {
    }

private:
    LoweredLimit limit_;
    HeldDescriptors held_;
};

} // namespace testsupport
