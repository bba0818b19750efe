#pragma once

#include "foundation/Runnable.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace vorsam {

// A named worker thread with its own Qt event loop running one task object.
// Interval: RunOnce (-1) runs doTask once after startTask, 0 or more runs it
// periodically (milliseconds), any other negative value never.
// Not thread-safe: one owner drives start, stop and teardown. Teardown must
// not happen on the worker thread itself, since it waits for that thread.
class Thread {
public:
    static const std::chrono::milliseconds RunOnce;
    // Stack of a thread that calls the host's code, which may need room.
    static const unsigned HostCodeStackSize;
    // The stack of every other thread; never less.
    static const unsigned WorkerStackSize;

    explicit Thread(QString name);
    Thread(QString name, std::chrono::milliseconds interval, std::unique_ptr<Runnable> runnable);
    Thread(QString name, std::unique_ptr<Runnable> runnable);
    Thread(QString name, std::chrono::milliseconds interval, std::function<void(Runnable&)> task);
    ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void reset();
    void reset(std::chrono::milliseconds interval, std::unique_ptr<Runnable> runnable);
    void reset(std::unique_ptr<Runnable> runnable);
    void reset(std::function<void(Runnable&)> task);
    void reset(std::chrono::milliseconds interval, std::function<void(Runnable&)> task);

    // For the threads started from now on; by default a small stack, so that
    // a thousand terminals fit into a 32-bit address space.
    void setStackSize(unsigned bytes);

    // Asks the event loop to quit and returns at once.
    void stop();
    bool isRunning() const;
    // Waits without a time limit for a running worker thread to end.
    void join();
    // Ends the thread as reset() does, but waits that long at most: a thread
    // still running then (waiting for what never comes) is left to the
    // process's end, with its task object. Idle afterwards.
    void endWithin(std::chrono::milliseconds limit);

    // Threads started whose task has not started yet: Qt makes a thread's
    // event loop, with its wake-up descriptor, on the thread itself, and the
    // task may open a descriptor as it starts.
    static unsigned startingCount();
    // For the exit that leaves the rest to the process's end: each running
    // thread is asked back into its event loop, where it handles nothing more.
    static void recallAll();
    // Those not back yet, unless they wait.
    static unsigned recalledCount();

    // At set-up: a host that deletes its Qt application while library threads
    // handle events has the deletion wait a moment (a second at most) for
    // each event already let through, and the threads' events dropped
    // meanwhile. For this application and every one made later.
    static void watchApplications();

    // For a library thread back from host code: once the exit has left the
    // rest to the process's end, what it would go on with may meet what the
    // exit destroys, so it stays until the process ends instead.
    static void stayIfTheRestIsLeft();

    // While it lasts, a library thread waits: for host code, which may wait
    // for the exiting thread, for another thread, or for work to come. The
    // exit does not wait for it then. What it waits for may never come once
    // the exit has left the rest to the process's end: it then waits until
    // the process ends, rather than go on with work whose other half is gone.
    class Waiting {
    public:
        Waiting();
        ~Waiting();
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;
    };

    // While it lasts, a library thread that waits (inside host code, say)
    // works for the library again: a call that host code makes. The exit's
    // recall waits for it as for a thread at work (a second at most), so that
    // a call under way then does not meet what the exit destroys.
    class AtWork {
    public:
        AtWork();
        ~AtWork();
        AtWork(const AtWork&) = delete;
        AtWork& operator=(const AtWork&) = delete;

    private:
        int m_waiting;
    };

    class Impl;

private:
    void start(std::chrono::milliseconds interval, std::unique_ptr<Runnable> runnable);
    void tearDown();

    QString name_;
    unsigned stackSize_;
    std::unique_ptr<Impl> impl_;
};

// stackSize: as for setStackSize; Thread::HostCodeStackSize for a thread on
// which the host's code may run.
std::unique_ptr<Thread> makeThread(QString name, std::chrono::milliseconds interval,
                                   std::unique_ptr<Runnable> runnable, unsigned stackSize = 0);
std::unique_ptr<Thread> makeThread(QString name, std::chrono::milliseconds interval,
                                   std::function<void(Runnable&)> task);
// A thread that runs the task object once; null, and logged, when it cannot start.
std::unique_ptr<Thread> startThreadOnce(QString name, std::unique_ptr<Runnable> runnable, unsigned stackSize = 0);

} // namespace vorsam
