#pragma once

namespace vorsam {

// The process's exit as the library's threads see it. Threads left running
// meet the exit's destruction of Qt's statics and the host's objects, so the
// exit's work is the last the library starts: once the exit has begun no
// server accepts another connection, and once the exit has left the rest to
// the process's end no thread starts either.
class ProcessExit {
public:
    // The exit's own work, ending what can be ended, follows.
    static void begin();
    static bool begun();
    // What has not ended is left to the process's end. Threads already
    // starting are given a moment to be on their way, since starting a
    // thread uses Qt's statics.
    static void leaveTheRest();
    static bool restLeft();
};

} // namespace vorsam
