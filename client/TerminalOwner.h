#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <memory>
#include <string>

namespace ect {

// A transaction sent through a client terminal, together with the steps that
// its result callbacks start on the same terminal (a flow's follow-ups, a
// sale's ticket request), owns the terminal from its first request until its
// last step has ended and its callback has run. The library frees the
// terminal before each callback, so without this a host's transaction could
// slip in between two steps and collide with the next one.
//
// Meanwhile another transaction sent through the client on that terminal is
// refused as the library refuses one for a busy terminal (code 1 cause 14),
// without reaching the library. Only a display close and a retail
// cancellation pass, as the library takes them during a transaction. A close
// takes the terminal over. After it, or after a step the library refused as
// busy, the owner's further display steps are not sent: they end at once with
// the error the close gives (2/30) or with that refusal. A host that sends
// from the owner's callback on the callback's thread is let in when no step
// is left. Ownership is per terminal identifier, in the whole process,
// whichever terminal object sends; transactions sent through the C interface
// directly are not seen.
class TerminalOwner : public std::enable_shared_from_this<TerminalOwner> {
public:
    explicit TerminalOwner(std::string terminalId);
    TerminalOwner(const TerminalOwner&) = delete;
    TerminalOwner& operator=(const TerminalOwner&) = delete;

    // The owner of a transaction started on the terminal now: the one whose
    // result this thread is handling, so that a step belongs to its flow, or
    // a new one.
    static std::shared_ptr<TerminalOwner> forNextStep(const std::string& terminalId);

    // A transaction of this owner holds (or lets go of) its context.
    void stepStarted();
    void stepEnded();
    // Whether the request goes out: none, or the error that ends the
    // transaction instead.
    boost::optional<ECTError> admit(const std::string& request);
    // A result of one of its steps, before the step handles it: a step the
    // library refused as busy means no further display step is sent.
    void noteResult(const std::string& text);

    // Marks this thread as handling a result of the owner while it lives.
    class Handling {
    public:
        explicit Handling(TerminalOwner* owner);
        ~Handling();
        Handling(const Handling&) = delete;
        Handling& operator=(const Handling&) = delete;

    private:
        TerminalOwner* previous_;
    };

private:
    bool handedOverFromHere(const TerminalOwner& holder) const;

    const std::string terminalId_;
    // All guarded by the registry's lock.
    int steps_ = 0;
    bool admitted_ = false;
    boost::optional<ECTError> stopped_;
};

} // namespace ect
