#include "engine/service/ZUVAServices.h"

#include "engine/core/ErrorDocument.h"
#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/HostWarning.h"
#include "engine/service/HostCall.h"
#include "engine/service/LibraryCall.h"
#include "engine/service/ZUVASerialServerListener.h"
#include "engine/service/ZUVATcpIpServerListener.h"
#include "foundation/AsyncSignalsBlocked.h"
#include "foundation/CalendarStatics.h"
#include "foundation/LoggingStatics.h"
#include "foundation/ProcessExit.h"
#include "foundation/RateLimitedWarning.h"
#include "foundation/SerialPort.h"
#include "foundation/SerialServer.h"
#include "foundation/TcpIpServer.h"
#include "foundation/Thread.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <unistd.h>

namespace oxa {

namespace {

QString levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return QStringLiteral("Debug");
    case QtWarningMsg: return QStringLiteral("Warning");
    case QtCriticalMsg: return QStringLiteral("Critical");
    case QtFatalMsg: return QStringLiteral("Fatal");
    case QtInfoMsg: return QStringLiteral("Info");
    }
    return QString();
}

void LogQtLogsToFile(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && qstrcmp(context.category, vorsam::hostWarnings().categoryName()) == 0) {
        HostWarning::report(message.toStdString());
        return;
    }
    const QString line = QStringLiteral("[QT-") + levelName(type) + QStringLiteral("] ") + message;
    ECTCertificationLogging::sharedInstance().log(line.toUtf8().toStdString());
}

// Every call of the host's code is host code under way until it returns,
// on whichever thread.
void call(const ZUVAServices::DocumentCallback& callback, const QJsonDocument& document)
{
    if (!callback)
        return;
    const HostCall hostCall;
    callback(document);
}

// The handler in place before the library's own, the host's.
std::atomic<QtMessageHandler> hostsHandler{nullptr};

// Host code too: a library call, a stop or an exit from it is one from a callback.
void callHostsHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const HostCall hostCall;
    hostsHandler.load()(type, context, message);
}

// A listener's report goes to the host's function, unless the service's stop
// is due; the connection stays inside.
std::function<void(QJsonDocument, std::weak_ptr<TerminalConnection>)> listenerCallback(
    ZUVAServices::DocumentCallback callback, std::shared_ptr<ServiceReports> reports)
{
    return [callback, reports](QJsonDocument document, std::weak_ptr<TerminalConnection>) {
        reports->report([&] { call(callback, document); });
    };
}

// The ending's own waits give up at the exit's limit too: it is given this
// long after them to return.
const std::chrono::milliseconds EndingGrace{200};

const char* const ForkedChildReason =
    "This process is a fork of the one that set the library up, which alone it serves: set the library up "
    "after forking, or run a program of its own (exec) in the child";

const char* const RestLeftReason =
    "The process is exiting: its connections are left to the process's end and take no more requests";

// Runs the ending on a thread of its own, so that no host callback is made on
// the exiting thread, and waits for it; past the exit's limit, or with no
// thread to be had, the rest is left to the process's end. True when it ended.
bool endOffThisThread(std::function<void()> ending)
{
    struct Progress {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
    };
    const auto progress = std::make_shared<Progress>();
    std::thread thread;
    try {
        const vorsam::AsyncSignalsBlocked onTheEndingThread;
        thread = std::thread([progress, ending = std::move(ending)]() mutable {
            ending();
            ending = nullptr;
            const std::lock_guard<std::mutex> lock(progress->mutex);
            progress->done = true;
            progress->changed.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    std::unique_lock<std::mutex> lock(progress->mutex);
    const auto done = [&progress] { return progress->done; };
    const bool ended = vorsam::ProcessExit::await(lock, progress->changed, done)
        || progress->changed.wait_for(lock, EndingGrace, done);
    lock.unlock();
    if (ended)
        thread.join();
    else
        thread.detach();
    return ended;
}

// Tells the host why its service did not start.
void reportStartFailure(const ZUVAServices::DocumentCallback& error, const std::string& reason)
{
    call(error, errorDocument(ect::ECTError(ect::ECTErrorCode::Technical_Issue,
                                            ect::ECTErrorCauseCode::UnableToStartServer, {{"reason", reason}})));
}

} // namespace

ZUVAServices& ZUVAServices::instance()
{
    // Never destroyed: a host object let go at exit, after this file's statics,
    // may still stop its service. What has to end before the process does ends
    // when the guard goes, where the registry itself used to.
    static ZUVAServices* const services = new ZUVAServices;
    return *services;
}

bool ZUVAServices::setUpUnlessExiting()
{
    static std::atomic<bool> setUp{false};
    if (setUp)
        return true;
    if (vorsam::ProcessExit::begun())
        return false;
    instance();
    setUp = true;
    return true;
}

ZUVAServices::ZUVAServices()
    : m_setUpBy(::getpid())
    , m_environment(sharedOXAEnvironment())
    , m_qt(std::make_unique<vorsam::SharedQtLibrary>())
{
    hostsHandler = qInstallMessageHandler(LogQtLogsToFile);
    HostWarning::keepPreviousHandler(callHostsHandler);
    // The exit's work ends the connections before the process does. Exit
    // handlers run in reverse order of their registration: registered after
    // every Qt static the library's threads use, it runs before they go.
    // Accepting's are built by accepting from itself on loopback; without it
    // the first connection accepted has the work registered again.
    if (vorsam::buildAcceptingStatics())
        vorsam::ProcessExit::builtBeforeTheWork(vorsam::ProcessExit::FirstUse::Accepting);
    vorsam::buildSerialPortStatics();
    vorsam::buildLoggingStatics();
    vorsam::buildCalendarStatics();
    vorsam::Thread::watchApplications();
    vorsam::ProcessExit::setWork([] { instance().endAtExit(); });
    vorsam::ProcessExit::registerWork();
}

void ZUVAServices::init()
{
}

quintptr ZUVAServices::createTcpIpService(int port, DocumentCallback started, DocumentCallback stopped,
                                          DocumentCallback error, DocumentCallback connected,
                                          DocumentCallback disconnected, DocumentCallback notification)
{
    const auto reports = std::make_shared<ServiceReports>();
    const auto listener = std::make_shared<ZUVATcpIpServerListener>(
        m_environment, listenerCallback(connected, reports), listenerCallback(disconnected, reports),
        listenerCallback(notification, reports), m_releaseThread);
    const std::shared_ptr<vorsam::TcpIpServer> server = vorsam::makeTcpIpServer();
    server->registerListener(listener);
    const auto listenPort = static_cast<unsigned short>(port & 0xFFFF);
    return startService(RunningService{Transport::TcpIp, server, listener, std::move(stopped), error, reports},
                        started, error, [&] {
                            if (!server->listen(listenPort))
                                throw std::runtime_error("Unable to listen on port " + std::to_string(listenPort));
                        });
}

quintptr ZUVAServices::createSerialService(const QString& portName, DocumentCallback started,
                                           DocumentCallback stopped, DocumentCallback error,
                                           DocumentCallback connected, DocumentCallback disconnected,
                                           DocumentCallback notification)
{
    return createSerialService(portName, vorsam::Baud9600, started, stopped, error, connected, disconnected,
                               notification);
}

quintptr ZUVAServices::createSerialService(const QString& portName, int baudRate, DocumentCallback started,
                                           DocumentCallback stopped, DocumentCallback error,
                                           DocumentCallback connected, DocumentCallback disconnected,
                                           DocumentCallback notification, vorsam::Parity parity,
                                           vorsam::StopBits stopBits)
{
    const auto reports = std::make_shared<ServiceReports>();
    const auto listener = std::make_shared<ZUVASerialServerListener>(
        m_environment, listenerCallback(connected, reports), listenerCallback(disconnected, reports),
        listenerCallback(notification, reports),
        kiss::LinkTimings(), ZUVASerialServerListener::kIdentificationRetryDelay, m_releaseThread);
    const std::shared_ptr<vorsam::SerialServer> server = vorsam::makeSerialServer();
    server->registerListener(listener);
    return startService(RunningService{Transport::Serial, server, listener, std::move(stopped), error, reports},
                        started, error, [&] {
                            // The device itself opens on the server's thread; a failure there is not reported.
                            if (!server->open(portName, static_cast<vorsam::BaudRate>(baudRate), parity, stopBits))
                                throw std::runtime_error("Unable to open serial port " + portName.toStdString());
                        });
}

quintptr ZUVAServices::startService(RunningService service, const DocumentCallback& started,
                                    const DocumentCallback& error, const std::function<void()>& open)
{
    const auto kept = std::make_shared<RunningService>(std::move(service));
    void* const handle = kept.get();
    // Counted until the start has ended, a stop made meanwhile told: a
    // clean-up waiting for the starts returns after it.
    std::optional<UnderWay> startUnderWay;
    // However the start ends, the service's reports may begin then.
    ServiceReports::Start start{*kept->reports};
    // In a forked child the lock may have been held by a thread of the parent.
    const char* refusal = inForkedChild() ? ForkedChildReason : nullptr;
    if (!refusal) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cleanedUp)
            refusal = "The library has been cleaned up: no service starts after zuva_cleanup";
        else if (vorsam::ProcessExit::begun())
            refusal = "The process is exiting: no service starts any more";
        else {
            m_services.emplace(handle, kept);
            ++m_startsUnderWay;
        }
    }
    if (refusal) {
        start.failed();
        reportStartFailure(error, refusal);
        return 0;
    }
    startUnderWay.emplace(*this, m_startsUnderWay);
    try {
        open();
    } catch (const std::exception& exception) {
        // Nothing may escape towards the C interface (e.g. refused line settings).
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_services.erase(handle);
        }
        start.failed();
        reportStartFailure(error, exception.what());
        return 0;
    }
    call(started, QJsonDocument());
    return reinterpret_cast<quintptr>(handle);
}

bool ZUVAServices::stopService(void* handle)
{
    if (inForkedChild())
        return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto found = m_services.find(handle);
    if (found == m_services.end())
        return true;
    const std::shared_ptr<RunningService> service = std::move(found->second);
    m_services.erase(found);
    if (m_exiting) {
        // Its connections have ended at exit, or are left to the exit: only
        // the report is due. Letting go of the service would wait for its threads.
        m_keptAtExit.push_back(service);
        lock.unlock();
        reportStopped(*service);
    } else if (HostCall::onThisThread()) {
        // Inside a callback on one of the service's own threads, ending them
        // here would make a thread wait for itself: the service ends on the
        // release thread, its stopped report a library callback there, so that
        // stopping every service from it does not join that thread. Until the
        // job takes it, an exit finishes the stop instead.
        m_stopping.emplace(handle, service);
        lock.unlock();
        m_releaseThread->post([this, handle] { endStopping(handle); });
    } else {
        // Out of the registry, yet under way: an exit from now on leaves the
        // threads and the application to the process's end.
        ++m_stopsUnderWay;
        lock.unlock();
        const UnderWay stopUnderWay{*this, m_stopsUnderWay};
        endService(service);
    }
    return true;
}

void ZUVAServices::endStopping(void* handle)
{
    // Under way, as host code: an exit from now on leaves this thread to the
    // exit instead of waiting for it. The service stays in the exit's sight
    // until its stop is told: the exit tells it then, whatever this thread
    // meets on the way (threads that the exit has left, say).
    const HostCall hostCall;
    std::shared_ptr<RunningService> service;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_stopping.find(handle);
        if (found == m_stopping.end())
            return;
        service = found->second;
    }
    endService(service);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping.erase(handle);
}

void ZUVAServices::endService(const std::shared_ptr<RunningService>& service)
{
    if (!leftWithoutQt(service))
        endConnections(*service);
    reportStopped(*service);
}

bool ZUVAServices::leftWithoutQt(const std::shared_ptr<RunningService>& service)
{
    if (QCoreApplication::instance())
        return false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_keptAtExit.push_back(service);
    }
    static std::atomic<bool> warned{false};
    if (!warned.exchange(true))
        HostWarning::report("The Qt application has gone before its services were stopped: their connections are "
                            "left to the process's end, with no result and no disconnected report. Keep the "
                            "application until after the clean-up");
    return true;
}

void ZUVAServices::reportStopped(RunningService& service)
{
    // The host may let go of its user data once told.
    const DocumentCallback stopped = service.serviceStopped;
    service.reports->close([this, stopped] {
        // A start's stop is told as it ends, which a child forked inside
        // its started callback reaches too.
        if (!inForkedChild())
            call(stopped, QJsonDocument());
    });
}

void ZUVAServices::endConnections(RunningService& service)
{
    // The server goes first: once its thread has ended, no socket event holds a
    // connection any more, so ending the connections gives every transaction
    // in flight its result before the host hears of the disconnection.
    service.server.reset();
    service.listener->closeAll();
}

void ZUVAServices::endAtExit()
{
    // A forked child's exit: the services, their threads and the lock are
    // the parent's.
    if (inForkedChild())
        return;
    // Begun inside a library call (from a signal handler, say), this thread
    // may hold what the library's threads wait for, the registry's lock
    // included: nothing is ended, and no lock is taken.
    if (LibraryCall::onThisThread()) {
        m_exiting = true;
        vorsam::ProcessExit::beganHoldingLocks();
        return;
    }
    // The records stay, with their stopped callbacks: a host
    // that stops its service later, from a static object of its own, is still
    // told once. A stop the release thread has not told yet is told here, as
    // is one made during a start that this exit leaves.
    const std::vector<std::function<void()>> stopsDue = ServiceReports::Start::abandonOnThisThread();
    std::map<void*, std::shared_ptr<RunningService>> running;
    std::map<void*, std::shared_ptr<RunningService>> stopping;
    // Ending a connection waits for its threads and for the release thread;
    // while host code is under way, one of them may be this very thread
    // or wait for it, and a stop under way uses them still. What cannot end
    // then is left to the process's end.
    bool ending = false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_exiting = true;
        const bool startsEnded = awaitStartsAtExit(lock);
        // Under the lock: a stop the release thread takes from now on is
        // under way before it looks, so it is counted here or left alone.
        // Nor can anything end once a host has ended its own Qt application:
        // the library's threads no longer get their events.
        ending = startsEnded && !HostCall::underWay() && m_stopsUnderWay == 0 && QCoreApplication::instance();
        running = m_services;
        stopping.swap(m_stopping);
        for (const auto& entry : stopping)
            m_keptAtExit.push_back(entry.second);
    }
    if (!ending && stopping.empty() && stopsDue.empty())
        return;
    const bool ended = endOffThisThread([this, ending, running, stopping, stopsDue] {
        // Once the rest is left to the process's end, Qt's statics may go.
        const auto mayEnd = [ending] { return ending && !vorsam::ProcessExit::restLeft(); };
        for (const auto& entries : {running, stopping})
            for (const auto& entry : entries)
                if (mayEnd())
                    endConnections(*entry.second);
        for (const auto& entry : stopping)
            reportStopped(*entry.second);
        for (const auto& tellStopped : stopsDue)
            tellStopped();
        if (mayEnd())
            m_releaseThread->stop();
    });
    // Threads left to the exit may still use the application.
    if (!ending || !ended)
        return;
    std::unique_ptr<vorsam::SharedQtLibrary> qt;
    const std::lock_guard<std::mutex> lock(m_mutex);
    qt = takeQt();
}

bool ZUVAServices::awaitStartsAtExit(std::unique_lock<std::mutex>& lock)
{
    // A start on this thread cannot go on, and one whose host code runs
    // leaves the rest to the process's end anyway.
    if (!HostCall::onThisThread())
        vorsam::ProcessExit::await(lock, m_underWayChanged,
                                   [this] { return m_startsUnderWay == 0 || HostCall::underWay(); });
    return m_startsUnderWay == 0;
}

std::unique_ptr<vorsam::SharedQtLibrary> ZUVAServices::takeQt()
{
    // On any other thread its event dispatcher cannot end.
    if (!m_qt || !m_qt->onItsOwnThread())
        return nullptr;
    return std::move(m_qt);
}

bool ZUVAServices::inForkedChild() const
{
    return ::getpid() != m_setUpBy;
}

const char* ZUVAServices::refusalOfConnections() const
{
    if (inForkedChild())
        return ForkedChildReason;
    if (vorsam::ProcessExit::restLeft())
        return RestLeftReason;
    return nullptr;
}

void ZUVAServices::cleanUp()
{
    if (inForkedChild())
        return;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // No service starts from now on; one still starting is stopped once
        // its started callback has returned, which a callback cannot wait for.
        m_cleanedUp = true;
        if (!HostCall::onThisThread())
            vorsam::ProcessExit::await(lock, m_underWayChanged, [this] { return m_startsUnderWay == 0; });
        // Under way like a stop until the services have ended: an exit
        // meanwhile leaves the rest to the process's end.
        ++m_stopsUnderWay;
    }
    {
        const UnderWay cleanUpUnderWay{*this, m_stopsUnderWay};
        stopAllServices();
    }
    std::unique_ptr<vorsam::SharedQtLibrary> qt;
    const std::lock_guard<std::mutex> lock(m_mutex);
    // Threads left to the exit, and a stop or start still under way on
    // another thread, may still use the application: the exit takes it then.
    if (!m_exiting && m_stopsUnderWay == 0 && m_startsUnderWay == 0)
        qt = takeQt();
}

ZUVAServices::UnderWay::UnderWay(ZUVAServices& services, int& count)
    : services(services)
    , count(count)
{
}

ZUVAServices::UnderWay::~UnderWay()
{
    const std::lock_guard<std::mutex> lock(services.m_mutex);
    --count;
    services.m_underWayChanged.notify_all();
}

void ZUVAServices::stopAllServices()
{
    std::vector<void*> handles;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& entry : m_services)
            handles.push_back(entry.first);
    }
    for (void* handle : handles)
        stopService(handle);
    if (!HostCall::onThisThread() && !exiting())
        m_releaseThread->stop();
}

std::vector<std::shared_ptr<TerminalListener>> ZUVAServices::listeners() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return listenersOf(m_services);
}

std::vector<std::shared_ptr<TerminalListener>> ZUVAServices::listenersOf(const Services& services)
{
    std::vector<std::shared_ptr<TerminalListener>> listeners;
    for (const Transport transport : {Transport::TcpIp, Transport::Serial})
        for (const auto& entry : services)
            if (entry.second->transport == transport)
                listeners.push_back(entry.second->listener);
    return listeners;
}

std::shared_ptr<TerminalConnection> ZUVAServices::getTerminalConnection(const QString& terminalId) const
{
    for (const auto& listener : listeners())
        if (auto connection = listener->getTerminalConnection(terminalId))
            return connection;
    return nullptr;
}

ZUVAServices::DocumentCallback ZUVAServices::fromLibrary(DocumentCallback callback)
{
    if (!callback)
        return callback;
    return [callback](QJsonDocument document) { call(callback, document); };
}

ZUVAServices::ReverseCallback ZUVAServices::fromLibrary(ReverseCallback callback)
{
    if (!callback)
        return callback;
    return [callback](QJsonDocument question) {
        const HostCall hostCall;
        return callback(question);
    };
}

void ZUVAServices::failRequest(const DocumentCallback& result, const ect::ECTError& error) const
{
    call(result, errorDocument(error));
}

int ZUVAServices::sendTransaction(const QString& terminalId, const QString& json, DocumentCallback&& result,
                                  ReverseCallback&& reverse)
{
    // Nothing goes out on a connection the parent shares, nor on one whose
    // threads no longer handle anything.
    if (const char* const refusal = refusalOfConnections()) {
        // A document may not be built once the exit has left the rest.
        if (refusal == RestLeftReason)
            return RefusedAtExit;
        failRequest(result, ect::ECTError(ect::ECTErrorCode::Technical_Issue,
                                          ect::ECTErrorCauseCode::NoConnectionWithTerminal, {{"reason", refusal}}));
        return -1;
    }
    try {
        const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
        // No copy stays on this thread once the connection has them: the
        // library's threads let go of them last.
        result = fromLibrary(std::move(result));
        reverse = fromLibrary(std::move(reverse));
        const bool sent = withConnection(terminalId, [&](TerminalConnection& connection) {
            connection.makeTransaction(document, std::move(result), std::move(reverse));
        });
        if (!sent)
            throw std::invalid_argument("Terminal with id " + terminalId.toStdString() + " is not connected");
        return 0;
    } catch (const ect::ECTError& error) {
        failRequest(result, error);
    } catch (const std::exception& exception) {
        failRequest(result, ect::ECTError(ect::ECTErrorCode::Technical_Issue,
                                          ect::ECTErrorCauseCode::InvalidRequest, {{"reason", exception.what()}}));
    }
    return -1;
}

int ZUVAServices::resetTransaction(const QString& terminalId)
{
    return withConnection(terminalId, [](TerminalConnection& connection) { connection.resetTransactions(); }) ? 0 : -1;
}

int ZUVAServices::enableNotifications(const QString& terminalId, bool enable)
{
    return withConnection(terminalId,
                          [enable](TerminalConnection& connection) { connection.enableNotifications(enable); })
        ? 0
        : -1;
}

bool ZUVAServices::isTerminalConnected(const QString& terminalId) const
{
    return withConnection(terminalId, [](TerminalConnection&) {});
}

bool ZUVAServices::withConnection(const QString& terminalId,
                                  const std::function<void(TerminalConnection&)>& operation) const
{
    // Inside a callback on a connection's own thread this reference may turn
    // out to be the connection's last one; ending the connection there would
    // make that thread wait for itself, so the reference is let go elsewhere.
    struct Release {
        std::shared_ptr<TerminalConnection> connection;
        ReleaseThread& releaseThread;
        ~Release()
        {
            if (HostCall::onThisThread() && connection)
                releaseThread.post([held = std::move(connection)] {});
        }
    } release{refusalOfConnections() ? nullptr : getTerminalConnection(terminalId), *m_releaseThread};
    if (!release.connection)
        return false;
    operation(*release.connection);
    return true;
}

void ZUVAServices::closeTerminalConnection(const QString&) const
{
}

QJsonDocument ZUVAServices::getConnectionDescription(const QString& terminalId) const
{
    // Answered as for a terminal no service knows, like every call about a
    // terminal whose connection is the parent's or left to the process's end.
    if (refusalOfConnections())
        return QJsonDocument();
    for (const auto& listener : listeners()) {
        const QJsonDocument description = listener->getConnectionDescription(terminalId);
        if (!description.isNull())
            return description;
    }
    return QJsonDocument();
}

QJsonDocument ZUVAServices::getConnectedTerminals() const
{
    // Unknown: the terminals are the parent's.
    if (inForkedChild())
        return QJsonDocument();
    QJsonArray terminals;
    // Left to the process's end, the connections serve no terminal any more.
    if (!vorsam::ProcessExit::restLeft())
        for (const auto& listener : listeners())
            for (const auto& document : listener->getTerminalDocuments())
                terminals.append(document.object().value(QStringLiteral("terminal")));
    return QJsonDocument(QJsonObject{{QStringLiteral("terminals"), terminals}});
}

QJsonDocument ZUVAServices::getEnvironment() const
{
    return QJsonDocument(QJsonObject{{QStringLiteral("environment"), m_environment->toJson()}});
}

void ZUVAServices::updateEnvironment(const QString& json) const
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (document.isObject())
        m_environment->update(document.object());
}

bool ZUVAServices::exiting() const
{
    return m_exiting;
}

const char* ZUVAServices::refusalAtExit()
{
    // As the error document of the connections' refusal is written.
    static constexpr char Refusal[] = R"({
    "error": {
        "causeCode": 12,
        "code": 2,
        "extraInformation": [
            {
                "key": "reason",
                "val": "The process is exiting: its connections are left to the process's end and take no more requests"
            }
        ]
    }
}
)";
    return Refusal;
}

} // namespace oxa
