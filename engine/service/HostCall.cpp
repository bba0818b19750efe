#include "engine/service/HostCall.h"

#include "engine/service/LibraryCall.h"

#include <atomic>

namespace oxa {

namespace {

// How deeply the current thread is inside host code.
thread_local int depth = 0;
std::atomic<int> threadsInHostCode{0};

} // namespace

HostCall::HostCall()
    : m_libraryCall(LibraryCall::suspend())
{
    if (depth++ == 0)
        ++threadsInHostCode;
}

HostCall::~HostCall()
{
    if (--depth == 0)
        --threadsInHostCode;
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
