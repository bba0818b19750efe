#pragma once

#include "link/State.h"

#include <QObject>

namespace kiss {

// Part of a frame has arrived in Idle; wait a short while for the rest.
class StateWaitingToReceiveCompleteMessage : public QObject, public State {
    Q_OBJECT
public:
    explicit StateWaitingToReceiveCompleteMessage(std::shared_ptr<SharedData> shared);

    void start() override;
    QString getName() const override;
    void receivedNAck() override;
    void receivedData(QByteArray data, unsigned char sequenceNumber) override;
    void receivedDataError(ParseKissDataMessageResult result) override;
    void onTimer() override;
};

} // namespace kiss
