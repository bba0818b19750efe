#pragma once

#include <cstdint>
#include <string>

// What the kernel says about this process: threads, resident memory, and the
// limit on open files (many terminals need more than the usual 1024).
class ProcessFigures {
public:
    // Entries of /proc/self/task.
    static int threadCount();
    // VmRSS of /proc/self/status in kB; -1 when unreadable.
    static int64_t residentKilobytes();
    // Address space mapped, in kB: the sum of /proc/self/maps (which qemu
    // gives for the emulated process); -1 when unreadable.
    static int64_t mappedKilobytes();
    // Raises the soft RLIMIT_NOFILE to at least `wanted` (at most the hard
    // limit); returns the soft limit in force afterwards.
    static int64_t raiseOpenFileLimit(int64_t wanted);
    // The machine's load averages (/proc/loadavg, first three fields): the
    // figures mean little on a busy machine.
    static std::string machineLoad();
};
