#pragma once

#include <chrono>

namespace vorsam {

// Work that reads or writes files through Qt (the recovery files): the
// exit's own work waits for each under way, on any thread, within a share of
// its own, and refuses any begun after, so none meets Qt's statics as the exit
// destroys them. Work under way checks `refusing()` between its files. None
// is waited for when the exiting thread has its own under way, or when the
// exit interrupted a library call: what it holds may be what they wait for.
// A forked child counts only its own.
class ExitAwaitedWork {
public:
    ExitAwaitedWork();
    ~ExitAwaitedWork();
    ExitAwaitedWork(const ExitAwaitedWork&) = delete;
    ExitAwaitedWork& operator=(const ExitAwaitedWork&) = delete;

    // False once the exit's work has waited: do nothing then.
    bool admitted() const;
    // The exit's work is waiting, or has waited: work admitted but not begun
    // (waiting for a lock, say) goes no further, so that the wait lasts only
    // as long as the work already begun.
    static bool refusing();

    // For the exit's work, once it has ended what it ends.
    static void refuseAndAwait();

private:
    const bool admitted_;
};

} // namespace vorsam
