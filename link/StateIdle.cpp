#include "link/StateIdle.h"

#include "link/StateManager.h"

namespace kiss {

StateIdle::StateIdle(std::shared_ptr<SharedData> shared)
    : State(std::move(shared))
{
}

void StateIdle::start()
{
    while (!shared().pendingWrites.empty()) {
        const QByteArray next = shared().pendingWrites.front();
        shared().pendingWrites.pop_front();
        // A payload whose transaction ended while it waited is never sent.
        if (manager().isStillWanted(next)) {
            write(next);
            return;
        }
    }
    if (const auto interval = manager().getHeartBeatIntervalMs())
        manager().startTimer(*interval);
}

bool StateIdle::write(QByteArray data)
{
    sendDataMessage(data, true);
    manager().goToWaitForAckAfterSendState(data, true, LinkTimings::maxResends);
    return true;
}

QString StateIdle::getName() const
{
    return QStringLiteral("Idle");
}

void StateIdle::receivedDataError(ParseKissDataMessageResult result)
{
    if (result == ParseKissDataMessageResult::Incomplete)
        manager().goToWaitingToReceiveCompleteMessageState();
}

void StateIdle::onTimer()
{
    // Heartbeat: an empty frame, handled like a written one.
    discardStaleIncompleteFrame();
    write(QByteArray());
}

} // namespace kiss
