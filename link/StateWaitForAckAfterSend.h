#pragma once

#include "link/State.h"

#include <QObject>

namespace kiss {

// A frame is out; wait for its acknowledgement and resend it on NAK or time-out.
class StateWaitForAckAfterSend : public QObject, public State {
    Q_OBJECT
public:
    // maxRetries -1: resend until acknowledged. report: notify the outcome.
    StateWaitForAckAfterSend(std::shared_ptr<SharedData> shared, QByteArray data, bool report, int maxRetries);

    void start() override;
    QString getName() const override;
    void receivedAck() override;
    void receivedNAck() override;
    void receivedWAck() override;
    void onTimer() override;

private:
    void retry();
    void startAckTimer();

    QByteArray data_;
    int retryCount_ = 0;
    int maxRetries_;
    bool report_;
    int frameLength_;
};

} // namespace kiss
