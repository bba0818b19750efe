#pragma once

#include <functional>

namespace vorsam {

// How many of the library's locks this thread holds, so that host code (a
// warning handler, a result callback) never runs under one: a host call
// could wait for the holder, or call back into what the lock guards. Work
// handed to outside() runs at once when this thread holds none; else it
// waits and runs as the thread lets go of the last, in the order handed
// over, on this thread.
class HeldLocks {
public:
    static void acquired();
    // Runs the work kept meanwhile when this was the last.
    static void released();
    // Whether work handed to outside() now would run at once.
    static bool runsAtOnce();
    // Work handed over while kept work runs waits behind it.
    static void outside(std::function<void()> work);
    // Host code is about to run on this thread: in the sanitizer builds a
    // lock still held ends the process, naming the fault.
    static void enteringHostCode();
};

} // namespace vorsam
