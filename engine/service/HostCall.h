#pragma once

#include "foundation/Thread.h"

#include <optional>

namespace oxa {

// The host's code (a callback, a free function) under way on this thread
// until the scope ends. It may wait for whichever thread calls exit, or be
// that thread: an exit that begins meanwhile leaves the library's threads to
// the process's end instead of waiting for them, and a library thread back
// from host code by then goes no further.
class HostCall {
public:
    HostCall();
    ~HostCall();
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

    // This thread is inside host code that the library called.
    static bool onThisThread();
    // Some thread is.
    static bool underWay();

private:
    // The library call that calls the host, if any.
    int m_libraryCall;
    // Until the host code returns.
    std::optional<vorsam::Thread::Waiting> m_waiting;
};

} // namespace oxa
