#pragma once

#include "foundation/Runnable.h"

namespace vorsam {

// Runs an existing task object, owned elsewhere, on the proxy's thread.
// The target moves to the worker thread while it runs and belongs to no
// thread once that thread has ended, so a later start can move it again.
class RunnableProxy : public Runnable {
    Q_OBJECT
public:
    explicit RunnableProxy(Runnable* target);
    ~RunnableProxy() override;

    void beforeStartTask() override;
    void startTask() override;
    void onFinished() override;
    void doTask() override;

private:
    Runnable* target_;
};

} // namespace vorsam
