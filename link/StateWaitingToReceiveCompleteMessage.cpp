#include "link/StateWaitingToReceiveCompleteMessage.h"

#include "link/StateManager.h"

namespace kiss {

StateWaitingToReceiveCompleteMessage::StateWaitingToReceiveCompleteMessage(std::shared_ptr<SharedData> shared)
    : State(std::move(shared))
{
}

void StateWaitingToReceiveCompleteMessage::start()
{
    manager().startTimer(timeUntilFragmentIsStale());
}

QString StateWaitingToReceiveCompleteMessage::getName() const
{
    return QStringLiteral("WaitingToReceiveCompleteMessage");
}

void StateWaitingToReceiveCompleteMessage::receivedNAck()
{
    manager().goToIdleState();
}

void StateWaitingToReceiveCompleteMessage::receivedData(QByteArray, unsigned char)
{
    manager().goToIdleState();
}

void StateWaitingToReceiveCompleteMessage::receivedDataError(ParseKissDataMessageResult result)
{
    // The time runs from the last bytes received, not from the last read.
    if (result == ParseKissDataMessageResult::Incomplete)
        manager().startTimer(timeUntilFragmentIsStale());
    else
        manager().goToIdleState();
}

void StateWaitingToReceiveCompleteMessage::onTimer()
{
    discardReceiveBuffer();
    manager().goToIdleState();
}

} // namespace kiss
