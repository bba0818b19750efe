#pragma once

#include "link/State.h"

namespace kiss {

// Nothing in flight: payloads go out at once, and the heartbeat keeps the link alive.
class StateIdle : public State {
public:
    explicit StateIdle(std::shared_ptr<SharedData> shared);

    void start() override;
    bool write(QByteArray data) override;
    QString getName() const override;
    void receivedDataError(ParseKissDataMessageResult result) override;
    void onTimer() override;
};

} // namespace kiss
