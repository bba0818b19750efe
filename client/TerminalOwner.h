#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <functional>
#include <memory>
#include <string>

namespace ect {

struct TerminalState;

// A transaction sent through a client terminal, together with the steps that
// its result callbacks start on the same terminal (a flow's follow-ups, a
// sale's ticket request), owns the terminal from its first request until its
// last step has ended. A step ends when the host's callback is about to hear
// the flow's outcome, or else once its handling is over; a flow's steps
// started before that hold the terminal on (VerifyPinFlow's closing steps).
// The library frees the terminal before each result, so without this a
// host's transaction could slip in between two steps and collide with the
// next one.
//
// Meanwhile another transaction sent through the client on that terminal is
// refused as the library refuses one for a busy terminal (code 1 cause 14),
// without reaching the library; so is one sent from a callback while steps
// are left. Only a display close and a retail cancellation pass, as the
// library takes them during a transaction, and while one of those runs the
// owner's steps wait and go out once it has ended, so that they neither meet
// it nor end it. A close takes the terminal over. After it, or after a step
// the library refused as busy, the owner's further display steps are not
// sent: they end at once with the error the close gives (2/30) or with that
// refusal; its other steps (a sale's ticket request) still go out, and take
// the terminal back once the close has ended. A close or cancellation is held back until requests
// being handed to the library have gone, so that the library sees them in
// that order, and until a later step that shows nothing (a sale's ticket
// request) has ended, which a close would end. The requests of the owner
// whose result the sending thread handles are not waited for: the library
// has them, so that a cancellation from a delivery question goes out before
// the answer whether or not the sale's send has returned. The thread that
// ends what it waited for hands it over. Ownership is per terminal identifier, in the whole process,
// whichever terminal object sends; transactions sent through the C interface
// directly are not seen.
class TerminalOwner : public std::enable_shared_from_this<TerminalOwner> {
public:
    // A request of a step: its action, how to hand it to the library, and
    // how to end the step at once instead.
    struct Request {
        std::string action;
        std::function<void()> handOver;
        std::function<void(const ECTError&)> refuse;
    };

    explicit TerminalOwner(std::string terminalId);
    TerminalOwner(const TerminalOwner&) = delete;
    TerminalOwner& operator=(const TerminalOwner&) = delete;

    const std::string& terminalId() const;

    // A transaction of this owner holds (or lets go of) its context.
    void stepStarted();
    void stepEnded();
    // Hands the request over, refuses it, or keeps it until a close or
    // cancellation has ended (or, for one of those, until the requests being
    // handed over have gone, but for those of handled: the owner of the
    // result the calling thread handles, if any).
    void send(const std::string& request, std::function<void()> handOver,
              std::function<void(const ECTError&)> refuse, const TerminalOwner* handled = nullptr);
    // A result of one of its steps, before the step handles it: a step the
    // library refused as busy means no further display step is sent.
    void noteResult(const std::string& text);

private:
    struct Verdict;
    struct Due;

    static void addDueAfterHanding(TerminalState& terminal, Due& due);
    static void carryOutAll(const Due& due);
    Verdict admit(TerminalState& terminal, const std::string& action, const TerminalOwner* handled);
    Verdict admitLaterStep(TerminalState& terminal, const std::string& action);
    Verdict admitPassing(TerminalState& terminal, const std::string& action, const TerminalOwner* handled);
    Verdict take(TerminalState& terminal);
    void startHanding(TerminalState& terminal);
    void carryOut(const Verdict& verdict, const Request& request);
    void handedOver();

    const std::string terminalId_;
    // All guarded by the registry's lock.
    int steps_ = 0;
    bool admitted_ = false;
    bool passes_ = false;
    bool fetches_ = false; // counted among the terminal's fetching steps
    int handing_ = 0; // its requests among those the terminal has being handed over
    boost::optional<ECTError> stopped_;
};

} // namespace ect
