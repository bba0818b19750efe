#include "foundation/ForkSafeMutex.h"

#include <new>

#include <pthread.h>

namespace vorsam {
namespace {

// Constant-initialized, so that a mutex made by another static finds them.
// The lock is taken by the forking thread before the fork, so that the child
// finds the list whole; it is never held while waiting for anything else.
std::mutex registryLock;
ForkSafeMutex* first = nullptr;

void lockTheRegistry()
{
    registryLock.lock();
}

void unlockTheRegistry()
{
    registryLock.unlock();
}

const bool handlersSet =
    ::pthread_atfork(&lockTheRegistry, &unlockTheRegistry, &ForkSafeMutex::makeAllAnew) == 0;

} // namespace

ForkSafeMutex::ForkSafeMutex()
{
    (void)handlersSet;
    const std::lock_guard<std::mutex> lock(registryLock);
    next_ = first;
    if (first)
        first->previous_ = this;
    first = this;
}

ForkSafeMutex::~ForkSafeMutex()
{
    const std::lock_guard<std::mutex> lock(registryLock);
    (previous_ ? previous_->next_ : first) = next_;
    if (next_)
        next_->previous_ = previous_;
}

void ForkSafeMutex::makeAllAnew()
{
    // Not destroyed first: a parent thread may have held one.
    for (ForkSafeMutex* mutex = first; mutex; mutex = mutex->next_)
        new (&mutex->mutex_) std::mutex;
    unlockTheRegistry();
}

} // namespace vorsam
