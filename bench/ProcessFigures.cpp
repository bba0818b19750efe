#include "ProcessFigures.h"

#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <string>

int ProcessFigures::threadCount()
{
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    ::closedir(tasks);
    return count;
}

int64_t ProcessFigures::residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::stoll(line.substr(6));
    }
    return -1;
}

int64_t ProcessFigures::mappedKilobytes()
{
    std::ifstream maps("/proc/self/maps");
    if (!maps)
        return -1;
    uint64_t bytes = 0;
    std::string line;
    while (std::getline(maps, line)) {
        const size_t dash = line.find('-');
        const size_t space = line.find(' ', dash);
        if (dash == std::string::npos || space == std::string::npos)
            continue;
        bytes += std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16)
                 - std::stoull(line.substr(0, dash), nullptr, 16);
    }
    return static_cast<int64_t>(bytes / 1024);
}

int64_t ProcessFigures::raiseOpenFileLimit(int64_t wanted)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (static_cast<int64_t>(limit.rlim_cur) < wanted) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY
                             ? static_cast<rlim_t>(wanted)
                             : std::min(limit.rlim_max, static_cast<rlim_t>(wanted));
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return static_cast<int64_t>(limit.rlim_cur);
}

std::string ProcessFigures::machineLoad()
{
    std::ifstream loadavg("/proc/loadavg");
    std::string one, five, fifteen;
    loadavg >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}
