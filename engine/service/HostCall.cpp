#include "engine/service/HostCall.h"

#include "engine/service/LibraryCall.h"
#include "foundation/HeldLocks.h"

#include <atomic>

namespace oxa {

namespace {

// How deeply the current thread is inside host code.
thread_local int depth = 0;
std::atomic<int> threadsInHostCode{0};

} // namespace

HostCall::HostCall()
    : m_libraryCall(LibraryCall::suspend())
    , m_waiting(std::in_place)
{
    vorsam::HeldLocks::enteringHostCode();
    if (depth++ == 0)
        ++threadsInHostCode;
}

HostCall::~HostCall()
{
    // No longer waiting before the look at the exit: either the exit waits
    // for this thread to be back in its loop, or this thread sees that the
    // rest is left. Inside nested host code it returns to the host.
    m_waiting.reset();
    if (--depth == 0) {
        --threadsInHostCode;
        vorsam::Thread::stayIfTheRestIsLeft();
    }
    LibraryCall::resume(m_libraryCall);
}

bool HostCall::onThisThread()
{
    return depth > 0;
}

bool HostCall::underWay()
{
    return threadsInHostCode > 0;
}

} // namespace oxa
