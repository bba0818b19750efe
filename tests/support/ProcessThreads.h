#pragma once

#include <dirent.h>

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

} // namespace testsupport
