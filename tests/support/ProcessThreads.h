#pragma once

#include "support/Wait.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

// The names of this process's threads as the system lists them (15
// characters at most); a thread that ends meanwhile has an empty name.
inline std::vector<std::string> threadNames()
{
    std::vector<std::string> names;
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return names;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        names.push_back(name);
    }
    ::closedir(tasks);
    return names;
}

// The threads of this process whose name starts with the prefix.
inline int threadsNamed(const std::string& prefix)
{
    const std::vector<std::string> names = threadNames();
    return static_cast<int>(std::count_if(names.begin(), names.end(),
                                          [&](const std::string& name) { return name.rfind(prefix, 0) == 0; }));
}

// The system's identifier of the calling thread.
inline long threadId()
{
    return ::syscall(SYS_gettid);
}

// A line of the thread's entry in the system's process table; empty once
// the thread has ended.
inline std::string threadEntry(long thread, const char* name)
{
    std::ifstream entry("/proc/self/task/" + std::to_string(thread) + "/" + name);
    std::string line;
    std::getline(entry, line);
    return line;
}

// The CPU time, in clock ticks, that the threads of this process not named
// so have taken; a thread that ends meanwhile counts no more.
inline long cpuTicksOfThreadsNotNamed(const std::string& name)
{
    long ticks = 0;
    DIR* tasks = ::opendir("/proc/self/task");
    while (const dirent* entry = tasks ? ::readdir(tasks) : nullptr) {
        const long thread = std::atol(entry->d_name);
        const std::string stat = threadEntry(thread, "stat");
        const std::string::size_type nameEnd = stat.rfind(')');
        unsigned long user = 0;
        unsigned long system = 0;
        // After the name: the state and ten more fields, then user and system time.
        if (thread > 0 && nameEnd != std::string::npos && threadEntry(thread, "comm") != name
            && std::sscanf(stat.c_str() + nameEnd + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
                           &system) == 2)
            ticks += static_cast<long>(user + system);
    }
    if (tasks)
        ::closedir(tasks);
    return ticks;
}

// Asleep in its event loop, waiting for events, or ended. A thread asleep on
// a lock or a pipe may still be inside host code; where the system does not
// say what a thread waits for, asleep has to do.
inline bool backInItsEventLoop(long thread)
{
    const std::string stat = threadEntry(thread, "stat");
    const std::string::size_type name = stat.rfind(')');
    if (name == std::string::npos || name + 2 >= stat.size())
        return true;
    if (stat[name + 2] != 'S')
        return false;
    const std::string waitingIn = threadEntry(thread, "wchan");
    return waitingIn.find("poll") != std::string::npos || waitingIn.empty() || waitingIn == "0";
}

// Host code that never blocks has returned once its thread is back in its
// event loop: a counter that code sets on its way says only that it has
// begun, and an exit that finds it under way rightly ends nothing.
inline bool waitUntilReturned(long thread)
{
    return waitUntil([thread] { return backInItsEventLoop(thread); });
}

} // namespace testsupport
