#pragma once

#include "link/KissUtil.h"
#include "link/SharedData.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace kiss {

// One state of the link protocol. The link engine calls it in the link thread
// and switches states when a handler asks for it, after that handler returns.
class State {
public:
    explicit State(std::shared_ptr<SharedData> shared);
    virtual ~State();

    // Handles the element at the head of the receive buffer, appending a newly
    // delivered frame to frames. False when the buffer is empty or its head
    // needs more bytes, so the engine knows when to stop.
    bool read(std::vector<vorsam::ReceivedFrame>& frames);
    // Outside Idle a payload waits for the link to become idle; a link that is
    // down refuses it.
    virtual bool write(QByteArray data);
    virtual void start();
    virtual QString getName() const = 0;

    virtual void receivedAck();
    virtual void receivedNAck();
    virtual void receivedWAck();
    // Called after the frame was acknowledged and, unless it was a repetition, delivered.
    virtual void receivedData(QByteArray data, unsigned char sequenceNumber);
    // Called after a damaged frame was dropped and answered, or for a partial frame.
    virtual void receivedDataError(ParseKissDataMessageResult result);
    virtual void onTimer();

protected:
    void sendAck(unsigned char sequenceNumber);
    void sendNAck();
    bool sendDataMessage(QByteArray data, bool newSequenceNumber);
    void raiseSequenceNumber();

    // Clears the receive buffer and answers with one NAK.
    void discardReceiveBuffer();
    // The same, but only for a partial frame at the head that has waited longer
    // than a frame may take; states whose timer serves another purpose call it on their timer.
    void discardStaleIncompleteFrame();
    // Time left before the partial frame at the head counts as stale.
    std::chrono::milliseconds timeUntilFragmentIsStale() const;

    StateManager& manager() const;
    SharedData& shared() const;

private:
    // 7,378 instructions for a 38-byte frame, 34,380 for 512 bytes, with the
    // check of whether the terminal's numbers advance (7,358 and 34,331 without).
    ParseKissDataMessageResult processReceivedDataMessage(std::vector<vorsam::ReceivedFrame>& frames);
    bool processReceivedAck();
    void forgetLastReceivedOnceMessageAcknowledged();
    void processReceivedNAck();
    void processReceivedWAck();
    void deliverOnce(const QByteArray& data, unsigned char sequenceNumber, int frameLength,
                     std::vector<vorsam::ReceivedFrame>& frames);
    bool isRepetition(const QByteArray& data, unsigned char sequenceNumber) const;
    // Whether the last frame came so recently that, though it answers our
    // newer message, the terminal cannot be resending it yet.
    bool tooSoonForResend() const;
    bool headIsIncompleteFrame() const;

    std::shared_ptr<SharedData> shared_;
};

} // namespace kiss
