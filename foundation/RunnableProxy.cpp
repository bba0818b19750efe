#include "foundation/RunnableProxy.h"

#include <QThread>

namespace vorsam {

RunnableProxy::RunnableProxy(Runnable* target)
    : target_(target)
{
}

RunnableProxy::~RunnableProxy() = default;

void RunnableProxy::beforeStartTask()
{
    // A target whose earlier thread has ended belongs to no thread; Qt lets
    // only the current thread take such an object, so take it first.
    if (!target_->thread())
        target_->moveToThread(QThread::currentThread());
    target_->moveToThread(thread());
}

void RunnableProxy::startTask()
{
    connect(target_, &Runnable::onStopSignal, this, &Runnable::stop);
    target_->startTask();
}

void RunnableProxy::onFinished()
{
    target_->onFinished();
    disconnect(target_, &Runnable::onStopSignal, this, &Runnable::stop);
    // This thread is about to end: release the target so that the next
    // start, on whatever thread, can move it again.
    target_->moveToThread(nullptr);
}

void RunnableProxy::doTask()
{
    target_->doTask();
}

} // namespace vorsam
