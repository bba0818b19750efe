#pragma once

#include "common/ECTError.h"
#include "common/ECTTerminalEvent.h"

#include <memory>

namespace ect {

class ZUVATerminal;

// What a host implements to follow a service. onServiceStarted and
// onServiceStopped run on the host's thread inside startService and
// stopService (or ect::cleanup); the others run on library threads, where
// they are to return promptly and never wait for a transaction's result. What
// an operation throws is logged and dropped. The listener must stay alive
// until the service has stopped.
class ZUVAServiceListener {
public:
    virtual ~ZUVAServiceListener() = default;

    virtual void onServiceStarted() = 0;
    virtual void onServiceStopped() = 0;
    // A service that could not start (port in use: code 2 cause 1 with a "reason").
    virtual void onServiceError(ECTError error) = 0;
    // Only for terminals whose notifications are enabled.
    virtual void onTerminalEvent(ECTTerminalEvent /*event*/) {}
    // Never an empty terminal. A terminal that connects again with the same
    // identifier is reported again, with a new object.
    virtual void onTerminalConnected(std::shared_ptr<ZUVATerminal> terminal) = 0;
    virtual void onTerminalDisconnected(std::shared_ptr<ZUVATerminal> terminal) = 0;
};

} // namespace ect
