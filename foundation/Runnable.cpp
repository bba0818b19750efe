#include "foundation/Runnable.h"

namespace vorsam {

Runnable::Runnable(TaskFunction task)
    : QObject(nullptr)
    , task_(std::move(task))
{
}

Runnable::~Runnable() = default;

void Runnable::beforeStartTask()
{
}

void Runnable::startTask()
{
}

void Runnable::onFinished()
{
}

void Runnable::doTask()
{
    if (task_)
        task_(*this);
}

void Runnable::stop()
{
    emit onStopSignal();
}

} // namespace vorsam
