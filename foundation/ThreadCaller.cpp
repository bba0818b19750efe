#include "foundation/ThreadCaller.h"

#include <QObject>

namespace vorsam {

// Lives on the worker thread; its queued slot drains the job queue there.
class ThreadCaller::Pump : public QObject {
    Q_OBJECT
public:
    explicit Pump(ThreadCaller& owner)
        : owner_(owner)
    {
    }

public slots:
    void runPending() { owner_.runPending(); }

private:
    ThreadCaller& owner_;
};

ThreadCaller::ThreadCaller() = default;

ThreadCaller::~ThreadCaller()
{
    close();
}

void ThreadCaller::open()
{
    auto pump = std::make_unique<Pump>(*this);
    std::lock_guard<std::mutex> lock(mutex_);
    if (pump_)
        return;
    pump_ = pump.release();
    servingThread_ = QThread::currentThread();
}

void ThreadCaller::close()
{
    std::deque<std::function<void()>> dropped;
    Pump* pump = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(pump, pump_);
        servingThread_ = nullptr;
        dropped.swap(jobs_);
    }
    // Deleting the pump discards its queued wake-ups; the dropped jobs
    // release their waiting callers as they are destroyed here.
    delete pump;
}

bool ThreadCaller::post(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!pump_)
        return false;
    jobs_.push_back(std::move(job));
    QMetaObject::invokeMethod(pump_, "runPending", Qt::QueuedConnection);
    return true;
}

bool ThreadCaller::isServingThread()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return servingThread_ && servingThread_ == QThread::currentThread();
}

void ThreadCaller::runPending()
{
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (jobs_.empty())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

} // namespace vorsam

#include "ThreadCaller.moc"
