#pragma once

#include <functional>
#include <string>

namespace ect {

class Transaction;

// A terminal that announced itself to a service. The descriptions are those
// of its announcement; the operations ask the C interface about the terminal
// with this identifier, so they answer for whatever connection carries it now.
// Every operation may be called from any thread, also from result callbacks.
// Callbacks run on a thread that serves the terminal: return promptly, and
// never wait inside one for another callback (the result of a transaction
// started from it, say); hand such work to a thread of your own.
class ZUVATerminal {
public:
    virtual ~ZUVATerminal() = default;

    // The texts of the terminal's announcement; empty for one it did not send.
    virtual std::string terminalId() const = 0;
    virtual std::string deviceType() const = 0;
    virtual std::string model() const = 0;
    virtual std::string serialNumber() const = 0;
    virtual std::string softwareVersion() const = 0;
    virtual std::string EMVKernelVersion() const = 0;

    // Whether a service knows a terminal with this identifier now: also a
    // serial terminal whose link is lost (reported disconnected), until its
    // port closes; a transaction sent to it fails with code 2 cause 18 until
    // the link is back.
    virtual bool connected() const = 0;
    // Fails the transaction in flight with code 2 cause 30, whichever it is when
    // the reset reaches the connection; nothing when none runs. Reset only a
    // transaction whose callback has not started: a reset after it can end
    // the next transaction (one sent from that callback, say).
    virtual void resetTransaction() = 0;
    // Events reach ZUVAServiceListener::onTerminalEvent only while enabled (off at first).
    virtual void enableNotifications(bool enabled) = 0;
    // The JSON text {"terminalConnection": {...}}: "ip" and "port" over TCP/IP,
    // "port" and "baud" on a serial line; empty when not connected.
    virtual std::string getConnectionDescription() const = 0;
    // Runs the transaction; its callback receives the outcome exactly once, on
    // a library thread, or before send returns when the terminal is not
    // connected or the request is refused (code 2 cause 15, or the request's
    // own error). The host's object is left empty; the transaction, with
    // whatever its callback holds, is let go on a library thread after its
    // outcome, never inside send unless it is refused there. The terminal runs one
    // transaction at a time, and a transaction sent here owns it together
    // with the steps its callbacks start (a flow's prompts, closing screen,
    // follow-up and close, a message's display, a sale's ticket request)
    // until the last of them has ended; a step ends right before the
    // callback hears the outcome, so the terminal is free when a callback
    // runs with no step left (not VerifyPinFlow's, whose closing steps
    // follow), for a send from it or from a thread it wakes. One sent
    // meanwhile, through any terminal object with this identifier or from a
    // callback while steps are left (a delivery question), fails with code 1
    // cause 14 before send returns and never reaches the terminal; resend it
    // from a thread of your own. An MMICloseTransaction, a ResetScreen and a
    // retail cancellation are taken at once, and the flow's next step waits
    // until they have ended; after a close the flow sends no further display
    // step. Transactions sent through the C interface are not held back. Each
    // action has its own time-out, after which it fails with code 5 (a sale:
    // 670 s plus the cardRecognitionTimeout setting). <zuva/HostGuide.md>
    // lists the time-outs and what each request may hold.
    virtual void send(Transaction&& transaction) = 0;
    // Answers whether the terminal responds: true when it answers a service
    // information request at all (also with a rejection, an incident or
    // "busy"); false when it is not connected, times out, is reset or its
    // link fails. Called once, on a library thread or before isAlive returns.
    virtual void isAlive(std::function<void(bool)> callback) = 0;
};

} // namespace ect
