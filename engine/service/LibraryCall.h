#pragma once

namespace oxa {

// A call of the library's C interface under way on this thread until the
// scope ends. An exit that begins on such a thread (from a signal handler,
// say) may hold what the library's threads wait for, a socket's write lock
// among them: it counts as host code under way.
class LibraryCall {
public:
    LibraryCall();
    ~LibraryCall();
    LibraryCall(const LibraryCall&) = delete;
    LibraryCall& operator=(const LibraryCall&) = delete;

    static bool onThisThread();
};

} // namespace oxa
