#pragma once

#include "foundation/Thread.h"

namespace oxa {

// A call of the library's C interface under way on this thread until the
// scope ends; host code that the library calls meanwhile is outside it. A
// call that begins while this thread is inside one can only come from a
// signal handler that interrupted it, and an exit begun there counts as
// host code under way: the interrupted call may hold the library's locks,
// a socket's write lock among them.
class LibraryCall {
public:
    LibraryCall();
    ~LibraryCall();
    LibraryCall(const LibraryCall&) = delete;
    LibraryCall& operator=(const LibraryCall&) = delete;

    static bool onThisThread();
    // For host code that the library calls: its calls are not nested.
    static int suspend();
    static void resume(int depth);

private:
    const vorsam::Thread::AtWork m_atWork;
};

} // namespace oxa
