#pragma once

#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace testsupport {

// The process's descriptor limit lowered for a while and, unless all are to
// stay free, every descriptor under it but the free ones held here.
class DescriptorsLeft {
public:
    DescriptorsLeft(rlim_t limit, rlim_t free)
    {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
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
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }

    DescriptorsLeft(const DescriptorsLeft&) = delete;
    DescriptorsLeft& operator=(const DescriptorsLeft&) = delete;

private:
    rlimit saved_{};
    std::vector<int> held_;
};

} // namespace testsupport
