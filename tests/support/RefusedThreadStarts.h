#pragma once

// Thread starts refused on the calling thread while a RefusedThreadStarts
// lives, as at the process's thread limit, which binds no root process.
// Defines pthread_create for the whole executable: include it in one file.
#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>

namespace testsupport {

inline thread_local bool threadStartsRefused = false;

class RefusedThreadStarts {
public:
    RefusedThreadStarts() { threadStartsRefused = true; }
    ~RefusedThreadStarts() { threadStartsRefused = false; }
    RefusedThreadStarts(const RefusedThreadStarts&) = delete;
    RefusedThreadStarts& operator=(const RefusedThreadStarts&) = delete;
};

} // namespace testsupport

// Takes the place of the C library's (or a sanitizer's) for every caller.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                              void* argument) noexcept
{
    if (testsupport::threadStartsRefused)
        return EAGAIN;
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto next = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    return next(thread, attributes, start, argument);
}
