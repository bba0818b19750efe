#include "foundation/Thread.h"

#include "foundation/AsyncSignalsBlocked.h"
#include "foundation/ProcessExit.h"
#include "foundation/ThreadMonitor.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDebug>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <unistd.h>

namespace vorsam {

namespace {

const std::chrono::milliseconds NeverDoTask(-2);

std::atomic<unsigned> startingThreads{0};

int timerInterval(std::chrono::milliseconds interval)
{
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(
        std::max<std::chrono::milliseconds::rep>(0, interval.count()), INT_MAX));
}

// A task that throws must not take the process down with the event loop.
// Once the exit has left the rest, Qt's logging may meet destroyed statics.
template <typename Call>
void runGuarded(const QString& threadName, const char* what, Call call)
{
    try {
        call();
    } catch (const std::exception& e) {
        if (!ProcessExit::restLeft())
            qWarning() << "Thread" << threadName << what << "failed:" << e.what();
    } catch (...) {
        if (!ProcessExit::restLeft())
            qWarning() << "Thread" << threadName << what << "failed";
    }
}

// What the exit knows of a running library thread. Once it has left the rest
// to the process's end it destroys Qt's statics, so it first waits, for a
// moment, for each thread to be back in its event loop, unless it waits (for
// host code, say, which may wait for the exiting thread).
struct Presence {
    enum State { Running, Recalled, Back };
    // Lives on the thread: an event posted to it is the thread's next one.
    QObject* receiver;
    // Its owner's teardown gives up once the thread stays for good.
    std::atomic<bool>& parked;
    std::atomic<int> state{Running};
    std::atomic<int> waiting{0};
    // Its last event was let through and may still be on its way to Qt's
    // second look at the application.
    std::atomic<bool> delivering{false};
};

const QEvent::Type RecallEvent = QEvent::User;

std::mutex presencesMutex;

std::vector<Presence*>& presences()
{
    static auto* const all = new std::vector<Presence*>;
    return *all;
}

thread_local Presence* presence = nullptr;

// The process whose threads are present: a forked child has none of them,
// and the lock may have been held by one as it forked.
std::atomic<pid_t> presentIn{0};

bool inTheProcessOfThePresent()
{
    return ::getpid() == presentIn;
}

// Ending would run the task's ending and Qt's own, on Qt's statics.
[[noreturn]] void stayUntilTheProcessEnds(Presence& here)
{
    here.delivering = false;
    here.parked = true;
    here.state = Presence::Back;
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}

// For as long as the thread runs.
class Present {
public:
    Present(QObject* receiver, std::atomic<bool>& parked)
        : here_{receiver, parked}
    {
        const std::lock_guard<std::mutex> lock(presencesMutex);
        presentIn = ::getpid();
        presences().push_back(&here_);
        presence = &here_;
    }
    ~Present()
    {
        const std::lock_guard<std::mutex> lock(presencesMutex);
        presences().erase(std::find(presences().begin(), presences().end(), &here_));
        presence = nullptr;
    }
    Present(const Present&) = delete;
    Present& operator=(const Present&) = delete;

private:
    Presence here_;
};

// Once the exit has left the rest to the process's end, library threads
// handle no event, and their event loops end, so that they neither spin on a
// socket nobody reads nor run their tasks' endings. Only the recall itself,
// never sent from inside a handler, shows that the thread is back.
bool dropEventLeftToTheExit(void** receiverEventResult)
{
    const auto* const event = static_cast<const QEvent*>(receiverEventResult[1]);
    if (receiverEventResult[0] == presence->receiver && event->type() == RecallEvent)
        presence->state = Presence::Back;
    QThread::currentThread()->quit();
    return true;
}

// Qt looks at its application as it begins to deliver an event, calls these
// callbacks, then delivers through the application, read again: a host that
// deletes its application in between has the event delivered through none.
// While it goes, library threads drop their events, and its deletion waits a
// moment for those let through before to be past that second read.
std::atomic<bool> applicationGoing{false};

const std::chrono::milliseconds DeliveriesAllowance(1000);

bool dropEventWhileTheApplicationGoes()
{
    // Marked before the look, as the deletion looks in the other order.
    presence->delivering = true;
    if (!applicationGoing)
        return false;
    presence->delivering = false;
    return true;
}

bool dropEventOfALibraryThread(void** receiverEventResult)
{
    if (!presence)
        return false;
    if (ProcessExit::restLeft())
        return dropEventLeftToTheExit(receiverEventResult);
    return dropEventWhileTheApplicationGoes();
}

// At load, so that Qt builds its table of these callbacks before the statics
// built later, and destroys it after them.
__attribute__((constructor)) void dropEventsOfLibraryThreadsFromLoad()
{
    QInternal::registerCallback(QInternal::EventNotifyCallback, dropEventOfALibraryThread);
}

bool anyDelivering()
{
    const std::lock_guard<std::mutex> lock(presencesMutex);
    return std::any_of(presences().begin(), presences().end(),
                       [](const Presence* each) { return each->delivering.load(); });
}

// One at a time: an application the host makes beside the library's adds none.
std::atomic<bool> postRoutineDue{false};

void awaitDeliveriesAsTheApplicationGoes()
{
    postRoutineDue = false;
    applicationGoing = true;
    if (!inTheProcessOfThePresent())
        return;
    const auto end = std::chrono::steady_clock::now() + DeliveriesAllowance;
    while (anyDelivering() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Called as each application is made: its deletion runs post routines
// before it lets go of the application, and forgets them.
void watchTheApplication()
{
    applicationGoing = false;
    if (!postRoutineDue.exchange(true))
        qAddPostRoutine(awaitDeliveriesAsTheApplicationGoes);
}

// As its event loop is about to wait, the thread delivers nothing.
// Without a Qt application Qt delivers no event, yet an event loop still
// wakes for what it watches (a socket with unread bytes, a timer due) and
// would spin on it: the loop ends instead, as it wakes, and the thread stays.
void watchEachWait(QThread& thread)
{
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&thread] {
        presence->delivering = false;
        if (!QCoreApplication::instance())
            thread.quit();
    });
}

} // namespace

const std::chrono::milliseconds Thread::RunOnce(-1);

class Thread::Impl : public QThread {
    Q_OBJECT
public:
    Impl(Runnable* runnable, QTimer* timer, std::chrono::milliseconds interval)
        : runnable_(runnable)
        , timer_(timer)
        , interval_(interval)
    {
    }

    ~Impl() override { quitAndWait(); }

    // Quits the event loop itself rather than through the task object: once
    // the thread finishes, the task object is already scheduled for deletion.
    // False for a thread that stays until the process ends, since the exit
    // has left it or the Qt application has gone, or that is still running
    // once the limit has passed: its objects stay too.
    bool quitAndWait(std::chrono::milliseconds limit = std::chrono::milliseconds::max())
    {
        if (isRunning())
            quit();
        const Waiting forTheThread;
        const auto began = std::chrono::steady_clock::now();
        const auto waited = [began] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
        };
        while (!wait(static_cast<unsigned long>(ProcessExit::Look.count())))
            if (parked_ || waited() >= limit)
                return false;
        // QThread::wait synchronises through primitives ThreadSanitizer cannot
        // see; this lock shows it that the worker's last steps came first.
        std::lock_guard<std::mutex> finished(runMutex_);
        return true;
    }

    // A thread that could not be created never runs its task object.
    bool failedToStart() const { return !isRunning() && !isFinished(); }

protected:
    void run() override
    {
        std::lock_guard<std::mutex> running(runMutex_);
        const QString name = objectName();
        ThreadMonitor::instance().AttachThread(name, this);
        Present present(runnable_, parked_);
        if (interval_ >= RunOnce)
            timer_->start(timerInterval(interval_));
        bool started = false;
        runGuarded(name, "start", [&] {
            runnable_->startTask();
            started = true;
        });
        --startingThreads;
        watchEachWait(*this);
        if (started)
            exec();
        presence->delivering = false;
        if (ProcessExit::restLeft() || !QCoreApplication::instance())
            stayUntilTheProcessEnds(*presence);
        runGuarded(name, "finish", [&] { runnable_->onFinished(); });
        ThreadMonitor::instance().DetachThread(name, this);
    }

public slots:
    void onRunInterval()
    {
        runGuarded(objectName(), "task", [&] { runnable_->doTask(); });
        if (interval_ == RunOnce)
            timer_->stop();
    }

private:
    Runnable* runnable_;
    QTimer* timer_;
    std::chrono::milliseconds interval_;
    std::mutex runMutex_;
    std::atomic<bool> parked_{false};
};

unsigned Thread::startingCount()
{
    return startingThreads;
}

void Thread::recallAll()
{
    // With no application Qt delivers no event: none would bring them back.
    if (!QCoreApplication::instance() || !inTheProcessOfThePresent())
        return;
    const std::lock_guard<std::mutex> lock(presencesMutex);
    for (Presence* const each : presences()) {
        int running = Presence::Running;
        if (each->state.compare_exchange_strong(running, Presence::Recalled))
            QCoreApplication::postEvent(each->receiver, new QEvent(RecallEvent));
    }
}

unsigned Thread::recalledCount()
{
    if (!inTheProcessOfThePresent())
        return 0;
    const std::lock_guard<std::mutex> lock(presencesMutex);
    return static_cast<unsigned>(std::count_if(presences().begin(), presences().end(), [](const Presence* each) {
        return each->state == Presence::Recalled && each->waiting == 0;
    }));
}

void Thread::watchApplications()
{
    qAddPreRoutine(watchTheApplication);
}

void Thread::stayIfTheRestIsLeft()
{
    if (presence && ProcessExit::restLeft())
        stayUntilTheProcessEnds(*presence);
}

Thread::Waiting::Waiting()
{
    if (!presence)
        return;
    ++presence->waiting;
    // Inside a handler: past the delivery's look at the application.
    presence->delivering = false;
}

Thread::Waiting::~Waiting()
{
    if (presence)
        --presence->waiting;
}

Thread::AtWork::AtWork()
    : m_waiting(presence ? presence->waiting.exchange(0) : 0)
{
}

Thread::AtWork::~AtWork()
{
    if (presence)
        presence->waiting += m_waiting;
}

const unsigned Thread::HostCodeStackSize = 1024 * 1024;

// Far below the 8 MiB default so that a thousand terminals (three threads
// each over TCP) fit into a 32-bit address space. Sanitizers need more room.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const unsigned Thread::WorkerStackSize = 2048 * 1024;
#else
const unsigned Thread::WorkerStackSize = 256 * 1024;
#endif

Thread::Thread(QString name)
    : name_(std::move(name))
    , stackSize_(WorkerStackSize)
{
}

Thread::Thread(QString name, std::chrono::milliseconds interval, std::unique_ptr<Runnable> runnable)
    : name_(std::move(name))
    , stackSize_(WorkerStackSize)
{
    start(interval, std::move(runnable));
}

Thread::Thread(QString name, std::unique_ptr<Runnable> runnable)
    : Thread(std::move(name), NeverDoTask, std::move(runnable))
{
}

Thread::Thread(QString name, std::chrono::milliseconds interval, std::function<void(Runnable&)> task)
    : Thread(std::move(name), interval, std::make_unique<Runnable>(std::move(task)))
{
}

Thread::~Thread()
{
    tearDown();
}

void Thread::reset()
{
    tearDown();
}

void Thread::reset(std::chrono::milliseconds interval, std::unique_ptr<Runnable> runnable)
{
    tearDown();
    start(interval, std::move(runnable));
}

void Thread::reset(std::unique_ptr<Runnable> runnable)
{
    reset(NeverDoTask, std::move(runnable));
}

void Thread::reset(std::function<void(Runnable&)> task)
{
    reset(NeverDoTask, std::move(task));
}

void Thread::reset(std::chrono::milliseconds interval, std::function<void(Runnable&)> task)
{
    tearDown();
    start(interval, std::make_unique<Runnable>(std::move(task)));
}

void Thread::setStackSize(unsigned bytes)
{
    stackSize_ = std::max(bytes, WorkerStackSize);
}

void Thread::stop()
{
    if (impl_)
        impl_->quit();
}

bool Thread::isRunning() const
{
    return impl_ && impl_->isRunning();
}

void Thread::join()
{
    if (impl_ && impl_->isRunning())
        impl_->wait();
}

void Thread::start(std::chrono::milliseconds interval, std::unique_ptr<Runnable> runnable)
{
    if (!runnable)
        throw std::invalid_argument(
            QString("Thread %1 cannot be created without runnable").arg(name_).toLatin1().toStdString());
    if (runnable->parent())
        throw std::invalid_argument(QString("Thread %1 cannot be created with a runnable that has a parent.")
                                        .arg(name_)
                                        .toLatin1()
                                        .toStdString());
    QThread* const caller = QThread::currentThread();
    if (runnable->thread() != caller) {
        const QString runnableThread = runnable->thread() ? runnable->thread()->objectName() : QString();
        throw std::runtime_error(QString("A Thread, with a runnable as parameter, can only be created in the "
                                         "thread that created the runnable. Thread created from %1. Runnable "
                                         "created in %2.")
                                     .arg(caller->objectName(), runnableThread)
                                     .toLatin1()
                                     .toStdString());
    }

    auto timer = std::make_unique<QTimer>();
    auto impl = std::make_unique<Impl>(runnable.get(), timer.get(), interval);
    runnable->moveToThread(impl.get());
    timer->moveToThread(impl.get());
    runnable->beforeStartTask();
    impl->setObjectName(name_);
    impl->setStackSize(stackSize_);

    Runnable* const task = runnable.release();
    QTimer* const intervalTimer = timer.release();
    QObject::connect(task, &Runnable::onStopSignal, impl.get(), &QThread::quit, Qt::DirectConnection);
    QObject::connect(intervalTimer, &QTimer::timeout, impl.get(), &Impl::onRunInterval, Qt::DirectConnection);
    QObject::connect(impl.get(), &QThread::finished, task, &QObject::deleteLater);
    QObject::connect(impl.get(), &QThread::finished, intervalTimer, &QObject::deleteLater);
    // Counted before the look at the exit, so that an exit leaving the rest
    // to the process's end meanwhile either waits for this start or is seen here.
    ++startingThreads;
    if (!ProcessExit::restLeft()) {
        const AsyncSignalsBlocked onTheNewThread;
        impl->start();
    }
    if (impl->failedToStart()) {
        --startingThreads;
        delete task;
        delete intervalTimer;
        throw std::runtime_error(QString("Thread %1 could not be started").arg(name_).toLatin1().toStdString());
    }
    impl_ = std::move(impl);
}

void Thread::tearDown()
{
    endWithin(std::chrono::milliseconds::max());
}

void Thread::endWithin(std::chrono::milliseconds limit)
{
    // Taken out first, so that a reset whose new start fails leaves this idle.
    std::unique_ptr<Impl> impl = std::move(impl_);
    // One the exit has left, or still running, cannot be destroyed.
    if (impl && !impl->quitAndWait(limit))
        impl.release();
}

std::unique_ptr<Thread> makeThread(QString name, std::chrono::milliseconds interval,
                                   std::unique_ptr<Runnable> runnable, unsigned stackSize)
{
    auto thread = std::make_unique<Thread>(std::move(name));
    thread->setStackSize(stackSize);
    thread->reset(interval, std::move(runnable));
    return thread;
}

std::unique_ptr<Thread> makeThread(QString name, std::chrono::milliseconds interval,
                                   std::function<void(Runnable&)> task)
{
    return std::make_unique<Thread>(std::move(name), interval, std::move(task));
}

std::unique_ptr<Thread> startThreadOnce(QString name, std::unique_ptr<Runnable> runnable, unsigned stackSize)
{
    try {
        return makeThread(name, Thread::RunOnce, std::move(runnable), stackSize);
    } catch (const std::exception& e) {
        if (!ProcessExit::restLeft())
            qDebug() << "Cannot start" << name << e.what();
        return nullptr;
    }
}

} // namespace vorsam

#include "Thread.moc"
