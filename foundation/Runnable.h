#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace vorsam {

// A task object run by a vorsam::Thread. startTask, doTask and onFinished
// run on the worker thread; beforeStartTask on the thread that starts it.
class Runnable : public QObject {
    Q_OBJECT
public:
    using TaskFunction = std::function<void(Runnable&)>;

    explicit Runnable(TaskFunction task = TaskFunction());
    ~Runnable() override;

    virtual void beforeStartTask();
    virtual void startTask();
    virtual void onFinished();

signals:
    void onStopSignal();
    void finished();
    void error(QString err);

public slots:
    virtual void doTask();
    // Ends the event loop of the thread running this task; callable from any thread.
    void stop();

private:
    TaskFunction task_;
};

} // namespace vorsam
