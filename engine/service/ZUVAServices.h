#pragma once

#include "common/ECTError.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/service/ReleaseThread.h"
#include "engine/service/ServiceReports.h"
#include "engine/service/TerminalConnection.h"
#include "engine/service/TerminalListener.h"
#include "foundation/SerialPort.h"
#include "foundation/SharedQtLibrary.h"

#include <QJsonDocument>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace oxa {

// The process-wide registry behind the C interface: the settings, the Qt
// application holder and every service the host has created, keyed by the
// opaque handle the host holds. Safe to use from several host threads.
class ZUVAServices : public QObject {
    Q_OBJECT

public:
    using DocumentCallback = std::function<void(QJsonDocument)>;
    using ReverseCallback = std::function<QJsonDocument(QJsonDocument)>;

    // A terminal identifier known on both is looked up on TCP/IP.
    enum class Transport { TcpIp, Serial };

    struct RunningService {
        Transport transport;
        // The TCP or serial server: letting go of it stops it.
        std::shared_ptr<void> server;
        std::shared_ptr<TerminalListener> listener;
        DocumentCallback serviceStopped;
        DocumentCallback serviceError;
        // The listener's reports, which end where the stop is reported.
        std::shared_ptr<ServiceReports> reports;
    };
    using Services = std::map<void*, std::shared_ptr<RunningService>>;

    // TCP/IP services first, each transport's in the order of their handles:
    // the order in which a terminal identifier is looked up.
    static std::vector<std::shared_ptr<TerminalListener>> listenersOf(const Services& services);

    static ZUVAServices& instance();
    // Sets the library up on its first call; false, doing nothing, once the
    // exit has begun. (An exit that begins during the set-up itself destroys
    // what the set-up is building: the host sets the library up first.)
    static bool setUpUnlessExiting();
    void init();

    // Callbacks in the order started, stopped, error, connected, disconnected,
    // notification; empty ones are never called. Returns the handle, or 0 when
    // the port cannot be listened on (the error callback has been told why).
    quintptr createTcpIpService(int port, DocumentCallback started, DocumentCallback stopped,
                                DocumentCallback error, DocumentCallback connected,
                                DocumentCallback disconnected, DocumentCallback notification);
    // The same for the serial port with that name (the C interface always
    // uses parity none and one stop bit). Returns 0 when the service cannot be
    // set up, e.g. for line settings outside their enumerations (the error
    // callback has been told why); a port that cannot be opened is not detected.
    quintptr createSerialService(const QString& portName, int baudRate, DocumentCallback started,
                                 DocumentCallback stopped, DocumentCallback error, DocumentCallback connected,
                                 DocumentCallback disconnected, DocumentCallback notification,
                                 vorsam::Parity parity = vorsam::NoParity, vorsam::StopBits stopBits = vorsam::OneStop);
    // At 9600 baud.
    quintptr createSerialService(const QString& portName, DocumentCallback started, DocumentCallback stopped,
                                 DocumentCallback error, DocumentCallback connected, DocumentCallback disconnected,
                                 DocumentCallback notification);
    // False, doing nothing, in a process the library does not serve.
    bool stopService(void* handle);
    void stopAllServices();

    std::shared_ptr<TerminalConnection> getTerminalConnection(const QString& terminalId) const;
    // The result text of a request refused with RefusedAtExit, made of
    // constants.
    static const char* refusalAtExit();
    // 0 when the connection took the request, and the callbacks with it (they
    // are left empty); -1 when it was refused, after the result callback has
    // received the error, and the callbacks are left as they were;
    // RefusedAtExit when the exit has left the connections to the process's
    // end, with nothing called back: the caller answers with refusalAtExit().
    static constexpr int RefusedAtExit = -2;
    int sendTransaction(const QString& terminalId, const QString& json, DocumentCallback&& result,
                        ReverseCallback&& reverse);
    bool isTerminalConnected(const QString& terminalId) const;
    int resetTransaction(const QString& terminalId);
    int enableNotifications(const QString& terminalId, bool enable);
    void closeTerminalConnection(const QString& terminalId) const;

    QJsonDocument getConnectionDescription(const QString& terminalId) const;
    QJsonDocument getConnectedTerminals() const;
    QJsonDocument getEnvironment() const;
    void updateEnvironment(const QString& json) const;
    // The host's last call: stops every service and ends the Qt application
    // holder; a service started afterwards is refused.
    void cleanUp();

private:
    ZUVAServices();

    // Ends the connections, then reports the stop; once the Qt application
    // has gone, only reports it.
    void endService(const std::shared_ptr<RunningService>& service);
    // Without a Qt application (a host that has deleted its own) no library
    // thread gets its events, so nothing that waits for one ends: the
    // service's connections are kept, never let go, and left to the
    // process's end, said once.
    bool leftWithoutQt(const std::shared_ptr<RunningService>& service);
    // Reports the stop, the last callback the service makes, once its
    // reports under way have returned; at exit only when they do within the
    // exit's limit.
    void reportStopped(RunningService& service);
    // Ends the server, then the connections (transactions in flight get their
    // result, connected terminals are reported disconnected); again, nothing.
    static void endConnections(RunningService& service);
    // At process exit (not a forked child's), once the exit has begun:
    // servers accept nothing more; once the starts under way have ended,
    // and unless host code, a stop, an interrupted library call on this
    // thread or a host without its Qt application keeps it from that, ends
    // every service's connections, then the release thread and the Qt
    // application holder (on its own thread only); reports the stops still
    // waiting for the release thread once their reports have returned. All
    // that on another thread, waited for only until the exit's limit; what
    // has not ended is left to the process's end and starts no thread. From
    // then on a stop only reports, and nothing is let go.
    void endAtExit();
    // Until then a start under way (not its host code) is waited for, so
    // that it ends before the statics it uses; false past the exit's limit.
    bool awaitStartsAtExit(std::unique_lock<std::mutex>& lock);
    bool exiting() const;
    // The library serves the process that set it up: in a forked child the
    // services, their threads and their connections are the parent's.
    bool inForkedChild() const;
    // Why the connections take no request here: in a forked child, or once
    // the exit has left them to the process's end, when their threads
    // handle nothing more. Null when they do.
    const char* refusalOfConnections() const;
    // The Qt application holder, unless it must stay: an application is
    // deleted on its own thread only. Under the lock.
    std::unique_ptr<vorsam::SharedQtLibrary> takeQt();
    // On the release thread: ends a service stopped inside a callback, unless
    // the exit has taken it.
    void endStopping(void* handle);
    // Runs the operation on the terminal's connection; false when there is none.
    bool withConnection(const QString& terminalId, const std::function<void(TerminalConnection&)>& operation) const;
    // The host's callback, as host code under way while it runs.
    static DocumentCallback fromLibrary(DocumentCallback callback);
    static ReverseCallback fromLibrary(ReverseCallback callback);
    // The running services' listeners, in that order.
    std::vector<std::shared_ptr<TerminalListener>> listeners() const;
    // Registers the service, then opens it: a terminal it reports connected
    // is found from its report on. Tells the host it started and returns the
    // handle; an open that throws leaves no service and tells the error
    // callback why.
    quintptr startService(RunningService service, const DocumentCallback& started, const DocumentCallback& error,
                          const std::function<void()>& open);
    void failRequest(const DocumentCallback& result, const ect::ECTError& error) const;

    // Gives back a stop, clean-up or start counted under way, however the
    // scope ends.
    struct UnderWay {
        UnderWay(ZUVAServices& services, int& count);
        UnderWay(const UnderWay&) = delete;
        UnderWay& operator=(const UnderWay&) = delete;
        ~UnderWay();
        ZUVAServices& services;
        int& count;
    };

    mutable std::mutex m_mutex;
    std::map<void*, std::shared_ptr<RunningService>> m_services;
    // Stopped inside a callback, until the release thread has told the stop.
    std::map<void*, std::shared_ptr<RunningService>> m_stopping;
    // Also set without the lock, by an exit begun inside a library call.
    std::atomic<bool> m_exiting{false};
    bool m_cleanedUp = false;
    // Stops and clean-ups made outside a callback, ending connections out of
    // the registry's sight.
    int m_stopsUnderWay = 0;
    // Starts from their registration until their started callback has returned.
    int m_startsUnderWay = 0;
    std::condition_variable m_underWayChanged;
    // The process that set the library up.
    const int m_setUpBy;
    std::vector<std::shared_ptr<RunningService>> m_keptAtExit;
    std::shared_ptr<OXAEnvironment> m_environment;
    std::shared_ptr<ReleaseThread> m_releaseThread = std::make_shared<ReleaseThread>();
    std::unique_ptr<vorsam::SharedQtLibrary> m_qt;
};

} // namespace oxa
