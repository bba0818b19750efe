#pragma once

#include "SimMessage.h"

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A simulated terminal as its script sees it, whatever line it plays on: a
// responder per request type.
class SimScript {
public:
    // What to do with one request: the writes to make (each one write call,
    // so a message may be split over several or several merged into one),
    // then optionally close the connection. No writes and no close: stay silent.
    struct Reply {
        std::vector<Bytes> writes;
        bool close = false;
    };
    using Responder = std::function<Reply(const SimMessage& request)>;

    virtual ~SimScript() = default;

    // The responder for requests of one message type ("Ci", "Cd", ...).
    // Requests without responder get no answer.
    virtual void on(const std::string& requestType, Responder responder) = 0;
};

} // namespace testsupport
