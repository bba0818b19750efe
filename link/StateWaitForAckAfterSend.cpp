#include "link/StateWaitForAckAfterSend.h"

#include "link/StateManager.h"

namespace kiss {

StateWaitForAckAfterSend::StateWaitForAckAfterSend(std::shared_ptr<SharedData> shared, QByteArray data, bool report,
                                                   int maxRetries)
    : State(std::move(shared))
    , data_(std::move(data))
    , maxRetries_(maxRetries)
    , report_(report)
    , frameLength_(buildKissDataMessage(data_, 0).size())
{
}

void StateWaitForAckAfterSend::start()
{
    startAckTimer();
}

QString StateWaitForAckAfterSend::getName() const
{
    return QStringLiteral("WaitForAckAfterSend");
}

void StateWaitForAckAfterSend::receivedAck()
{
    manager().stopTimer();
    manager().goToIdleState();
    manager().reportAckReceived(report_);
}

void StateWaitForAckAfterSend::receivedNAck()
{
    retry();
}

void StateWaitForAckAfterSend::receivedWAck()
{
    startAckTimer();
}

void StateWaitForAckAfterSend::onTimer()
{
    discardStaleIncompleteFrame();
    retry();
}

void StateWaitForAckAfterSend::retry()
{
    if (maxRetries_ != -1 && retryCount_ == maxRetries_) {
        if (manager().getHeartBeatIntervalMs())
            manager().goToConnectState();
        else
            manager().goToIdleState();
        manager().reportAckTimeout(data_, report_);
        return;
    }
    ++retryCount_;
    sendDataMessage(data_, false);
    startAckTimer();
}

void StateWaitForAckAfterSend::startAckTimer()
{
    manager().startTimer(shared().timings.ackTimeoutFor(frameLength_));
}

} // namespace kiss
