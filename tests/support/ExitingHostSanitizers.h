#pragma once

// What the sanitizers are told in a host that ends while the library's
// threads and its simulated terminals run. Included by one source file of
// such a host.

// The simulated terminals that play on through the exit are never joined.
extern "C" const char* __tsan_default_options()
{
    return "report_thread_leaks=0";
}

// Qt hands an object moved to another thread its running timers back through
// a queued call that owns a heap list; an exit before that thread delivers it
// leaves the list behind. Full stacks, so that only that list is let pass.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QObject::event\n";
}
