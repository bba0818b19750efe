#pragma once

#include <cstddef>

#include <pthread.h>

namespace testsupport {

// What a thread that may run the host's code must at least have.
constexpr size_t HostCodeStack = 1024 * 1024;

// The stack size of the calling thread; 0 when unknown.
inline size_t currentStackSize()
{
    pthread_attr_t attributes;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
    }
    return size;
}

} // namespace testsupport
