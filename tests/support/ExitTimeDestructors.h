#pragma once

// Exit-time destructors that the library's threads register after its set-up.
// The exit destroys such a static before the library's exit work runs, while
// those threads may still use it. Defines __cxa_atexit for the whole
// executable (shared libraries' function statics included), and atexit:
// include it in one file of a host.
//
// The library registers its exit work as it loads and again at its set-up:
// the window opens at the first handler without argument registered a second
// time, and closes as the exit reaches a handler registered right after it.
// A library thread is one whose name is not the main thread's (the library
// and Qt name theirs; the host's keep the program's). What was registered in
// the window on such a thread is printed as a "host:" line there, as is a
// window that never opened.
#include <cxxabi.h>
#include <dlfcn.h>
#include <sys/prctl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace testsupport {

class ExitTimeDestructors {
public:
    using Handler = void (*)(void*);

    // Called for every registration, on the registering thread: allocates
    // nothing, takes no lock.
    static int registered(Handler handler, void* argument, void* dso)
    {
        const int result = next()(handler, argument, dso);
        if (state_ == Open && !onMainThreadsName())
            record(handler, argument);
        State closed = Closed;
        if (argument)
            return result;
        if (!seenBefore(handler))
            remember(handler);
        else if (state_.compare_exchange_strong(closed, Open))
            next()(&close, nullptr, nullptr);
        return result;
    }

    // At load, before any thread starts.
    static void noteMainThreadsName()
    {
        ::prctl(PR_GET_NAME, mainName_, 0, 0, 0);
        next()(&checkOpened, nullptr, nullptr);
    }

private:
    using Next = int (*)(Handler, void*, void*);
    enum State { Closed, Open, Over };
    // Written once by its thread before it is marked filled.
    struct Record {
        Handler handler;
        void* argument;
        char thread[16];
        std::atomic<bool> filled;
    };
    static constexpr int Capacity = 64;

    static Next next()
    {
        Next known = next_;
        if (!known) {
            known = reinterpret_cast<Next>(::dlsym(RTLD_NEXT, "__cxa_atexit"));
            next_ = known;
        }
        return known;
    }

    static bool onMainThreadsName()
    {
        char name[16] = {};
        ::prctl(PR_GET_NAME, name, 0, 0, 0);
        return std::strncmp(name, mainName_, sizeof name) == 0;
    }

    static bool seenBefore(Handler handler)
    {
        for (const std::atomic<Handler>& seen : handlers_)
            if (seen == handler)
                return true;
        return false;
    }

    static void remember(Handler handler)
    {
        const int index = handlerCount_++;
        if (index < Capacity)
            handlers_[index] = handler;
    }

    static void record(Handler handler, void* argument)
    {
        const int index = recordCount_++;
        if (index >= Capacity)
            return;
        Record& entry = records_[index];
        entry.handler = handler;
        entry.argument = argument;
        ::prctl(PR_GET_NAME, entry.thread, 0, 0, 0);
        entry.filled = true;
    }

    static void close(void*)
    {
        state_ = Over;
        for (const Record& entry : records_)
            if (entry.filled)
                print(entry);
    }

    static void checkOpened(void*)
    {
        if (state_ == Closed)
            std::puts("host: the library registered no exit work at its set-up");
    }

    static void print(const Record& entry)
    {
        std::printf("host: after the set-up, thread %s registered the exit-time destructor %s of %s\n", entry.thread,
                    symbol(reinterpret_cast<void*>(entry.handler)).c_str(), symbol(entry.argument).c_str());
    }

    // The symbol at the address, or the object file and offset it lies in.
    static std::string symbol(void* address)
    {
        Dl_info info{};
        if (!::dladdr(address, &info) || !info.dli_fname)
            return "?";
        if (info.dli_sname && info.dli_saddr == address) {
            int status = 0;
            char* const demangled = abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status);
            const std::string name = demangled ? demangled : info.dli_sname;
            std::free(demangled);
            return name;
        }
        char offset[32];
        std::snprintf(offset, sizeof offset, "+0x%zx",
                      static_cast<std::size_t>(static_cast<char*>(address) - static_cast<char*>(info.dli_fbase)));
        return std::string(info.dli_fname) + offset;
    }

    // Constant-initialized: registrations come before any constructor runs.
    static inline std::atomic<Next> next_{nullptr};
    static inline std::atomic<State> state_{Closed};
    static inline char mainName_[16] = {};
    static inline std::atomic<Handler> handlers_[Capacity] = {};
    static inline std::atomic<int> handlerCount_{0};
    static inline Record records_[Capacity] = {};
    static inline std::atomic<int> recordCount_{0};
};

namespace {

__attribute__((constructor)) void noteMainThreadsName()
{
    ExitTimeDestructors::noteMainThreadsName();
}

} // namespace

} // namespace testsupport

extern "C" int __cxa_atexit(void (*handler)(void*), void* argument, void* dso) noexcept
{
    return testsupport::ExitTimeDestructors::registered(handler, argument, dso);
}

// The C library's own turns into the call above inside each caller, but
// ThreadSanitizer's takes its place in the library and calls the C
// library's directly.
extern "C" int atexit(void (*handler)()) noexcept
{
    return testsupport::ExitTimeDestructors::registered(reinterpret_cast<void (*)(void*)>(handler), nullptr,
                                                       nullptr);
}
