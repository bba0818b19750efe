#include "foundation/AsyncSignalsBlocked.h"

#include <pthread.h>

#include <initializer_list>

namespace vorsam {

AsyncSignalsBlocked::AsyncSignalsBlocked()
{
    sigset_t blocked;
    ::sigfillset(&blocked);
    // A fault is delivered to the thread that caused it, whatever the mask.
    for (const int synchronous : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
        ::sigdelset(&blocked, synchronous);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
}

AsyncSignalsBlocked::~AsyncSignalsBlocked()
{
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace vorsam
