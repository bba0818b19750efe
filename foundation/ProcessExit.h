#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vorsam {

// The process's exit as the library's threads see it. Threads left running
// meet the exit's destruction of Qt's statics and the host's objects, so the
// exit's work is the last the library starts: once the exit has begun no
// server accepts another connection, and once the exit has left the rest to
// the process's end no thread starts either, and those running handle no
// more events.
class ProcessExit {
public:
    // How long the exit waits for the host's code, which may wait for the
    // exiting thread.
    static const std::chrono::milliseconds Limit;
    // How often a wait looks at the exit.
    static const std::chrono::milliseconds Look;

    // On the exiting thread; the exit's own work, ending what can be ended,
    // follows.
    static void begin();
    static bool begun();
    // The thread that called exit; none before.
    static std::thread::id exitingThread();
    // The limit has passed since the exit began.
    static bool pastTheLimit();
    // What has not ended is left to the process's end. Threads already
    // starting are given a moment to be on their way, and those handling an
    // event to be back in their event loops, since both use Qt's statics.
    static void leaveTheRest();
    static bool restLeft();
    // For an exit begun where the exiting thread may hold what the library's
    // threads wait for (inside a library call, from a signal handler): the
    // rest is then left without a lock and without waiting for them.
    static void beganHoldingLocks();
    static bool heldLocks();
    // Waits until done() holds, however long, until the exit begins: then
    // only until the exit's limit. What it waits for may wait for the
    // exiting thread. Returns done().
    static bool await(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                      const std::function<bool()>& done);

    // The exit's own work: it runs once, at the process's exit, before any
    // static that was built before its last registration is destroyed. A
    // forked child's exit runs it too. The exit begins before it; once it
    // has returned, file work under way is waited for (ExitAwaitedWork), and
    // the rest is left to the process's end.
    static void setWork(void (*work)());
    static bool hasWork();

    // What Qt builds on its first use, on a library thread, unless the set-up
    // could build it (file work: on any thread, before the set-up); once that
    // use is done the work is registered again, so that it still runs before
    // it goes.
    enum class FirstUse { Accepting, FileWork, Count };
    static void firstUseDone(FirstUse use);
    // For the set-up: what it has built already needs no registration later.
    static void builtBeforeTheWork(FirstUse use);
    static void registerWork();
};

} // namespace vorsam
