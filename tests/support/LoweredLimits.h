#pragma once

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

// The descriptor limit lowered for a while and, unless all are to stay
// free, every descriptor under it but the free ones held here.
class DescriptorsLeft {
public:
    DescriptorsLeft(rlim_t limit, rlim_t free)
        : limit_(RLIMIT_NOFILE, limit)
    {
        if (free >= limit)
            return;
        for (int file; (file = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            held_.push_back(file);
        for (; free > 0 && !held_.empty(); --free) {
            ::close(held_.back());
            held_.pop_back();
        }
    }

    ~DescriptorsLeft()
    {
        for (const int file : held_)
            ::close(file);
    }

    DescriptorsLeft(const DescriptorsLeft&) = delete;
    DescriptorsLeft& operator=(const DescriptorsLeft&) = delete;

private:
    LoweredLimit limit_;
    std::vector<int> held_;
};

} // namespace testsupport
