#pragma once

#include "support/Wait.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
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

// The thread's state letter as the system reports it ('R' running, 'S'
// asleep, ...); '?' once it has ended.
inline char threadState(long thread)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::string::size_type name = line.rfind(')');
    return name == std::string::npos || name + 2 >= line.size() ? '?' : line[name + 2];
}

// Host code that never blocks has returned once its thread sleeps: a
// counter that code sets on its way says only that it has begun, and an
// exit that finds it under way rightly ends nothing.
inline bool waitUntilAtRest(long thread)
{
    return waitUntil([thread] {
        const char state = threadState(thread);
        return state == 'S' || state == '?';
    });
}

} // namespace testsupport
