#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace oxa {

// A service's reports to the host (connected, disconnected, notification)
// between its start and its stop, the first and the last of them: the host
// may set up its state for the service when told of the start, so no report
// begins before; it may let go of the service's user data once told of the
// stop, so from then on no report begins, and the stop is told only once the
// reports under way have returned, the start's among them.
class ServiceReports {
public:
    // The start under way on this thread for the scope: no report begins
    // before it ends, and a stop made meanwhile (from the started callback,
    // say) is told as it ends, unless it has failed.
    class Start {
    public:
        explicit Start(ServiceReports& reports);
        ~Start();
        Start(const Start&) = delete;
        Start& operator=(const Start&) = delete;

        // The host was told of the failure, and never of a stop.
        void failed();
        // At exit on this thread: the starts under way here never return.
        // Returns the tells of the stops made during them.
        static std::vector<std::function<void()>> abandonOnThisThread();

    private:
        // From now on a stop is told at once; returns the tell of one made
        // meanwhile.
        std::function<void()> end(bool reportsBegin);

        ServiceReports& m_reports;
        // The start this one runs inside of, on this thread.
        Start* m_outer;
    };

    // Makes the report unless the stop is due; waits for the start's report.
    void report(const std::function<void()>& call);
    // From now on no report begins. The first call tells the stop, once
    // every report under way has returned, but for those on this thread and
    // on the exiting thread, whose host code cannot go on; not at all when
    // one still is under way once the exit's limit has passed (it may wait
    // for the exiting thread). During the start the start tells it, as it
    // ends. A later call returns once the first has told it (or left it to
    // the start), waiting at most the exit's limit once the exit has begun.
    void close(const std::function<void()>& tellStopped);

private:
    bool othersUnderWay() const;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // The thread of the start under way, if any.
    std::thread::id m_startingOn;
    bool m_opened = false;
    bool m_closed = false;
    // The first close has told the stop, left it to the start or given up.
    bool m_stopSettled = false;
    // The thread of the first close.
    std::thread::id m_closingOn;
    // Left by a stop made during the start.
    std::function<void()> m_stopDue;
    // A thread once per report it is inside.
    std::vector<std::thread::id> m_underWay;
};

} // namespace oxa
