#pragma once

namespace vorsam {

// The process's exit as the library's threads see it. Threads may run on
// while the exit destroys Qt's statics and the host's objects, so once it has
// begun no library thread starts new work on them: a server accepts no more
// connections.
class ProcessExit {
public:
    static void begin();
    static bool begun();
};

} // namespace vorsam
