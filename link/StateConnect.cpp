#include "link/StateConnect.h"

#include "link/StateManager.h"

namespace kiss {

StateConnect::StateConnect(std::shared_ptr<SharedData> shared)
    : State(std::move(shared))
{
}

void StateConnect::start()
{
    // Whatever waited to be sent belonged to the link that just went down:
    // each is reported lost. A terminal that comes back may start its
    // numbering anew, so its next frame is no repetition.
    std::deque<QByteArray> lost;
    lost.swap(shared().pendingWrites);
    for (const QByteArray& payload : lost)
        manager().reportSendFailure(payload);
    shared().lastReceived.reset();
    manager().startTimer(shared().timings.connectDelay);
}

QString StateConnect::getName() const
{
    return QStringLiteral("Connect");
}

void StateConnect::onTimer()
{
    discardStaleIncompleteFrame();
    sendDataMessage(QByteArray(), true);
    manager().goToWaitForAckAfterSendState(QByteArray(), false, -1);
}

} // namespace kiss
