#pragma once

#include "simterminal/ScaledDeadline.h"

#include <dirent.h>
#include <sched.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

// While it lives, every thread of the process (also those started meanwhile)
// runs on one CPU, beside a thread that spins there: a thread that hands work
// to another is then often taken off the CPU before its call returns, so the
// other thread's answer comes first. Afterwards each thread may run anywhere
// again.
class OneBusyCore {
public:
    OneBusyCore()
    {
        ::sched_getaffinity(0, sizeof(m_allowed), &m_allowed);
        const int cpu = ::sched_getcpu();
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu < 0 ? 0 : cpu, &one);
        pinEveryThread(one);
        m_spinner = std::thread([this] {
            while (!m_done.load(std::memory_order_relaxed)) {
            }
        });
    }
    ~OneBusyCore()
    {
        m_done = true;
        m_spinner.join();
        pinEveryThread(m_allowed);
    }
    OneBusyCore(const OneBusyCore&) = delete;
    OneBusyCore& operator=(const OneBusyCore&) = delete;

private:
    static void pinEveryThread(const cpu_set_t& cpus)
    {
        DIR* tasks = ::opendir("/proc/self/task");
        if (!tasks)
            return;
        while (const dirent* entry = ::readdir(tasks))
            if (entry->d_name[0] != '.')
                ::sched_setaffinity(static_cast<pid_t>(std::atoi(entry->d_name)), sizeof(cpus), &cpus);
        ::closedir(tasks);
    }

    cpu_set_t m_allowed;
    std::atomic<bool> m_done{false};
    std::thread m_spinner;
};

// Runs the step the given number of times, or as many as fit in a few
// seconds on a slow build, on one busy CPU; the steps done, or -1 once one fails.
inline int repeatOnOneBusyCore(int times, const std::function<bool()>& step)
{
    const OneBusyCore busy;
    const auto end = std::chrono::steady_clock::now() + scaled(std::chrono::seconds(8));
    int done = 0;
    for (; done < times && std::chrono::steady_clock::now() < end; ++done)
        if (!step())
            return -1;
    return done;
}

} // namespace testsupport
