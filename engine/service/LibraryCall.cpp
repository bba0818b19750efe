#include "engine/service/LibraryCall.h"

namespace oxa {

namespace {

// Written and read on this thread only, a signal handler's exit included.
thread_local int depth = 0;

} // namespace

LibraryCall::LibraryCall()
{
    ++depth;
}

LibraryCall::~LibraryCall()
{
    --depth;
}

bool LibraryCall::onThisThread()
{
    return depth > 0;
}

int LibraryCall::suspend()
{
    const int suspended = depth;
    depth = 0;
    return suspended;
}

void LibraryCall::resume(int suspended)
{
    depth = suspended;
}

} // namespace oxa
