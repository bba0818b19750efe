#pragma once

#include "common/ECTError.h"
#include "common/ECTTerminalEvent.h"

#include <memory>

namespace ect {

class ZUVATerminal;

// What a host implements to follow a service. onServiceStarted, or
// onServiceError, runs inside startService on the caller's thread; no other
// operation of the service begins before onServiceStarted has returned. A
// stop (stopService, ect::cleanup, or the last reference to the service
// object going) reports onTerminalDisconnected for each terminal still
// connected, then onServiceStopped (see ZUVAService::stopService).
// onServiceStopped begins once the service's other operations under way on
// other threads have returned, and none follows it. onTerminalConnected,
// onTerminalEvent and the disconnection of a terminal whose connection ends
// run on library threads. Operations on library threads are to return
// promptly and never wait for a transaction's result. What an operation
// throws is dropped, with a line in the certification log only (see
// <zuva/HostGuide.md>). The listener must stay alive until
// onServiceStopped has run for each of its services (see "Ending" there).
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
