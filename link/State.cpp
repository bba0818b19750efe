#include "link/State.h"

#include "link/StateManager.h"

#include <algorithm>

namespace kiss {

namespace {

unsigned char headByte(const QByteArray& buffer)
{
    return static_cast<unsigned char>(buffer.at(0));
}

} // namespace

State::State(std::shared_ptr<SharedData> shared)
    : shared_(std::move(shared))
{
}

State::~State() = default;

bool State::read(std::vector<vorsam::ReceivedFrame>& frames)
{
    QByteArray& buffer = shared().receiveBuffer;
    if (buffer.isEmpty())
        return false;
    switch (toMessageType(headByte(buffer))) {
    case MessageType::Data:
        return processReceivedDataMessage(frames) != ParseKissDataMessageResult::Incomplete;
    case MessageType::Ack:
        return processReceivedAck();
    case MessageType::NAck:
        processReceivedNAck();
        return true;
    case MessageType::WAck:
        processReceivedWAck();
        return true;
    default:
        discardReceiveBuffer();
        return true;
    }
}

bool State::write(QByteArray data)
{
    if (!manager().isConnected())
        return false;
    shared().pendingWrites.push_back(data);
    return true;
}

void State::start() {}
void State::receivedAck() {}
void State::receivedNAck() {}
void State::receivedWAck() {}
void State::receivedData(QByteArray, unsigned char) {}
void State::receivedDataError(ParseKissDataMessageResult) {}
void State::onTimer() {}

void State::sendAck(unsigned char sequenceNumber)
{
    manager().reportAckSent();
    const unsigned char ack[] = {ACK, sequenceNumber};
    shared().output->write(ack, sizeof ack);
}

void State::sendNAck()
{
    manager().reportNAckSent();
    // The terminal answers a NAK by resending at once.
    if (shared().lastReceived)
        shared().lastReceived->resendMayComeAtOnce = true;
    const unsigned char nak[] = {NACK};
    shared().output->write(nak, sizeof nak);
}

bool State::sendDataMessage(QByteArray data, bool newSequenceNumber)
{
    if (newSequenceNumber) {
        raiseSequenceNumber();
        shared().awaitedFrameCarriesMessage = !data.isEmpty();
    }
    const QByteArray frame = buildKissDataMessage(data, shared().sequenceNumber);
    manager().reportDataMessageSent();
    return shared().output->write(reinterpret_cast<const unsigned char*>(frame.constData()), frame.size());
}

void State::raiseSequenceNumber()
{
    // 255 is never sent: after 254 comes 0.
    shared().sequenceNumber = shared().sequenceNumber == 254 ? 0 : shared().sequenceNumber + 1;
}

ParseKissDataMessageResult State::processReceivedDataMessage(std::vector<vorsam::ReceivedFrame>& frames)
{
    QByteArray data;
    unsigned char sequenceNumber = 0;
    int consumed = 0;
    const ParseKissDataMessageResult result =
        parseKissDataMessage(shared().receiveBuffer, consumed, data, sequenceNumber);
    switch (result) {
    case ParseKissDataMessageResult::Success:
        shared().receiveBuffer.remove(0, consumed);
        sendAck(sequenceNumber);
        deliverOnce(data, sequenceNumber, consumed, frames);
        receivedData(data, sequenceNumber);
        break;
    case ParseKissDataMessageResult::CrcError:
        discardReceiveBuffer();
        receivedDataError(result);
        break;
    default:
        receivedDataError(result);
        break;
    }
    return result;
}

void State::deliverOnce(const QByteArray& data, unsigned char sequenceNumber, int frameLength,
                        std::vector<vorsam::ReceivedFrame>& frames)
{
    // The terminal repeats a frame whose ACK it missed; the repetition is
    // acknowledged again but must not reach the engine a second time. Under
    // numbers that never change it may also be a new frame with the same
    // bytes (a ruled line of a ticket): the engine reads it both ways.
    if (isRepetition(data, sequenceNumber)) {
        const auto now = std::chrono::steady_clock::now();
        shared().lastReceived->arrivedAt = now;
        shared().lastReceived->resendMayComeAtOnce = false;
        // An empty frame answers nothing.
        if (shared().numbersAdvance || data.isEmpty())
            return;
        if (shared().awaitedFrameCarriesMessage)
            manager().reportRepeatMayBeAnswer(data);
        frames.push_back(vorsam::ReceivedFrame{data, true});
        return;
    }
    shared().numbersAdvance = shared().lastNumberReceived && *shared().lastNumberReceived != sequenceNumber;
    shared().lastNumberReceived = sequenceNumber;
    const auto now = std::chrono::steady_clock::now();
    shared().lastReceived =
        SharedData::ReceivedFrame{sequenceNumber, data, now + shared().timings.repeatWindowFor(frameLength), now};
    // An empty frame carries nothing for the engine.
    if (!data.isEmpty())
        frames.push_back(vorsam::ReceivedFrame{data, false});
}

bool State::isRepetition(const QByteArray& data, unsigned char sequenceNumber) const
{
    const auto& last = shared().lastReceived;
    return last && last->sequenceNumber == sequenceNumber && last->data == data
           && std::chrono::steady_clock::now() < last->repeatableUntil && !tooSoonForResend();
}

bool State::tooSoonForResend() const
{
    const SharedData::ReceivedFrame& last = *shared().lastReceived;
    return last.answersOurs && !last.resendMayComeAtOnce
           && std::chrono::steady_clock::now() < last.arrivedAt + shared().timings.earliestResend();
}

bool State::processReceivedAck()
{
    QByteArray& buffer = shared().receiveBuffer;
    if (buffer.size() < 2)
        return false;
    const unsigned char acknowledged = static_cast<unsigned char>(buffer.at(1));
    buffer.remove(0, 2);
    if (acknowledged == shared().sequenceNumber) {
        forgetLastReceivedOnceMessageAcknowledged();
        receivedAck();
    }
    return true;
}

void State::forgetLastReceivedOnceMessageAcknowledged()
{
    // Until the terminal has our message it still repeats its last frame for
    // a lost ACK; once it has, the same frame under a number that never
    // changes may answer that message, unless it comes when a resend could.
    if (!shared().awaitedFrameCarriesMessage)
        return;
    shared().awaitedFrameCarriesMessage = false;
    if (!shared().numbersAdvance && shared().lastReceived)
        shared().lastReceived->answersOurs = true;
}

void State::processReceivedNAck()
{
    shared().receiveBuffer.remove(0, 1);
    receivedNAck();
}

void State::processReceivedWAck()
{
    shared().receiveBuffer.remove(0, 1);
    receivedWAck();
}

void State::discardReceiveBuffer()
{
    // Whatever follows noise or a damaged frame is not trusted either (noise
    // may hold an acknowledgement's first byte): one NAK, and the terminal
    // repeats what it sent.
    shared().receiveBuffer.clear();
    sendNAck();
}

void State::discardStaleIncompleteFrame()
{
    if (headIsIncompleteFrame() && timeUntilFragmentIsStale().count() <= 0)
        discardReceiveBuffer();
}

std::chrono::milliseconds State::timeUntilFragmentIsStale() const
{
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - shared().lastReceiveTime);
    return std::max(std::chrono::milliseconds(0), shared().timings.completeMessageTimeout - waited);
}

bool State::headIsIncompleteFrame() const
{
    const QByteArray& buffer = shared().receiveBuffer;
    if (buffer.isEmpty() || headByte(buffer) != STX)
        return false;
    QByteArray data;
    unsigned char sequenceNumber = 0;
    int consumed = 0;
    return parseKissDataMessage(buffer, consumed, data, sequenceNumber) == ParseKissDataMessageResult::Incomplete;
}

StateManager& State::manager() const
{
    return *shared_->manager;
}

SharedData& State::shared() const
{
    return *shared_;
}

} // namespace kiss
