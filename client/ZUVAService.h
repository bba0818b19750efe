#pragma once

#include "client/Settings.h"
#include "client/ZUVAServiceListener.h"
#include "client/ZUVATerminal.h"

#include <memory>
#include <string>
#include <vector>

namespace ect {

// What spans several headers (requests, results, time-outs, settings,
// ending a host, recovery files) is in <zuva/HostGuide.md>, installed beside
// them.

// A terminal service (TCP/IP or serial) reporting to one listener. When the
// last reference to the object goes, it stops every service it started, as
// stopService does; the listener must stay alive until onServiceStopped has
// run for each (until the process ends if that never comes). A static object
// that goes after main: see <zuva/HostGuide.md>, "Ending".
class ZUVAService {
public:
    virtual ~ZUVAService() = default;

    // Starts a service; onServiceStarted has run when it returns, or
    // onServiceError when it could not start. A service already running keeps
    // running beside a new one.
    virtual void startService() = 0;
    // Stops every service this object started. Called on a thread of the
    // host's, it reports onTerminalDisconnected for each terminal still
    // connected, then onServiceStopped, before it returns; it waits for the
    // service's listener operations under way on other threads, so hold no
    // lock they take. Called inside a callback of the library (a transaction's
    // result, a listener operation, also one the library makes on the host's
    // thread), it returns at once and the services stop on a library thread,
    // which makes those calls. Called inside onServiceStarted, it returns at
    // once, and startService makes the stop once that callback has returned,
    // before it returns itself. Nothing once they are stopped (also by
    // ect::cleanup).
    virtual void stopService() = 0;
    // The library's settings (process-wide), or the defaults when unreadable.
    virtual Settings settings() const = 0;
    // Replaces every setting; an absent optional is no longer set afterwards.
    virtual void updateSettings(const Settings& settings) = 0;
    // The connected terminals of the services reporting to this listener, by identifier.
    virtual std::vector<std::shared_ptr<ZUVATerminal>> connectedTerminals() = 0;
    // One of connectedTerminals(), or empty.
    virtual std::shared_ptr<ZUVATerminal> getTerminal(std::string terminalId) = 0;
};

// Services that start nothing until startService. The listener is not owned.
std::shared_ptr<ZUVAService> makeTcpIpZUVAService(int port, ZUVAServiceListener& listener);
// A serial service at 9600 baud, or at the given rate. A lost link is noticed
// only with a serialHeartBeatInterval setting above 0 when the service starts,
// and only while no transaction awaits a reply: a cable cut during a
// transaction shows only once it has ended. After a cut, a register that sends
// its next transaction as soon as the last one ends gets code 2 cause 18 for
// each (code 5 when its own time-out is the shorter, as for an information
// request), and the terminal stays reported connected until the line has been
// idle for a heartbeat interval and its repeats; once it is connected again,
// ask it for the last transaction (see <zuva/HostGuide.md>, "Connections").
std::shared_ptr<ZUVAService> makeSerialZUVAService(const std::string& portName, ZUVAServiceListener& listener);
std::shared_ptr<ZUVAService> makeSerialZUVAService(const std::string& portName, int baudRate,
                                                   ZUVAServiceListener& listener);

// Stops every service still running, as stopService does, then releases the
// Qt application the library made for a host without one. Call it once,
// last, on the thread that set the library up (on another thread the
// application is left to the process's end), never from a callback. A
// service started afterwards does not start (onServiceError). A Qt host keeps
// its QCoreApplication until after this and until its service objects are
// gone (declare them after it in main): once it has gone, a stop or clean-up
// ends no connection and leaves them to the process's end, with a warning
// (onServiceStopped still comes); their threads stop reading them, and this
// waits 5 s at most for the library's work under way. An application the host made after the library's first call is
// never taken. See <zuva/HostGuide.md>, "Ending".
void cleanup();
// The names of the serial ports the system offers.
std::vector<std::string> getAvailableSerialPorts();
// The connected terminals of every service, and the first with an identifier (or empty).
std::vector<std::shared_ptr<ZUVATerminal>> connectedTerminals();
std::shared_ptr<ZUVATerminal> getTerminal(std::string terminalId);

} // namespace ect
