#include "client/ZUVAServiceImpl.h"

#include "client/ConnectedTerminalsList.h"
#include "client/Contained.h"
#include "client/JsonObjectFactory.h"
#include "client/PreprocessJsonResult.h"
#include "client/TransactionHelpers.h"
#include "client/ZUVATerminalImpl.h"
#include "engine/service/oxazuva.h"

#include <QtGlobal>

#include <atomic>

namespace ect {

// One service created in the C interface. A heap shared pointer to it is the
// user data of the service's callbacks, released when the C interface
// reports the service stopped (or when it did not start).
class ServiceSession {
public:
    explicit ServiceSession(ZUVAServiceListener& listener) : listener_(listener) {}

    static const ZUVAServiceImpl::Callbacks callbacks;

    // Null when the service did not start.
    static std::shared_ptr<ServiceSession> start(ZUVAServiceListener& listener, const ZUVAServiceImpl::Starter& starter)
    {
        const auto session = std::make_shared<ServiceSession>(listener);
        auto* userData = new std::shared_ptr<ServiceSession>(session);
        session->handle_ = starter(callbacks, userData);
        if (session->handle_)
            return session;
        release(userData);
        return nullptr;
    }

    // Stops the service unless it has stopped already: its handle may have been reused since.
    void stop()
    {
        if (!stopped_)
            zuva_stop_service(handle_);
    }

private:
    using UserData = std::shared_ptr<ServiceSession>;

    static ServiceSession* sessionOf(void* userData) { return userData ? static_cast<UserData*>(userData)->get() : nullptr; }

    // By the stopped callback, or after a start that failed: no callback follows.
    static void release(void* userData)
    {
        const std::unique_ptr<UserData> holder(static_cast<UserData*>(userData));
        (*holder)->stopped_ = true;
    }

    static void onStarted(const char*, void* userData)
    {
        if (ServiceSession* session = sessionOf(userData))
            contained("service started", [&] { session->listener_.onServiceStarted(); });
    }

    static void onStopped(const char*, void* userData)
    {
        ServiceSession* session = sessionOf(userData);
        if (!session)
            return;
        ConnectedTerminalsList::getInstance().removeService(session);
        contained("service stopped", [&] { session->listener_.onServiceStopped(); });
        release(userData);
    }

    static void onConnected(const char* text, void* userData)
    {
        ServiceSession* session = sessionOf(userData);
        if (!session)
            return;
        contained("terminal connected", [&] {
            const std::shared_ptr<ZUVATerminal> terminal = terminalFrom(text);
            if (!terminal)
                return;
            ConnectedTerminalsList::getInstance().add(terminal, session, &session->listener_);
            session->listener_.onTerminalConnected(terminal);
        });
    }

    static void onDisconnected(const char* text, void* userData)
    {
        ServiceSession* session = sessionOf(userData);
        if (!session)
            return;
        contained("terminal disconnected", [&] {
            const std::shared_ptr<ZUVATerminal> terminal = terminalFrom(text);
            if (!terminal)
                return;
            ConnectedTerminalsList::getInstance().remove(terminal, session);
            session->listener_.onTerminalDisconnected(terminal);
        });
    }

    static void onError(const char* text, void* userData)
    {
        if (ServiceSession* session = sessionOf(userData))
            contained("service error", [&] { session->listener_.onServiceError(errorFrom(text)); });
    }

    static void onNotification(const char* text, void* userData)
    {
        if (ServiceSession* session = sessionOf(userData))
            contained("terminal event", [&] { session->listener_.onTerminalEvent(MakeTerminalEventFromJSon(text)); });
    }

    static std::shared_ptr<ZUVATerminal> terminalFrom(const char* text)
    {
        std::shared_ptr<ZUVATerminal> terminal = MakeZUVATerminalFromJSon(text ? text : "");
        if (!terminal)
            qWarning("Client: a terminal document without a terminal dropped: %s", text ? text : "(null)");
        return terminal;
    }

    // The error the document carries; code 2 when it carries none.
    static ECTError errorFrom(const char* text)
    {
        Json::Value document;
        try {
            if (text && parseJson(text, document) && document.isObject() && document["error"].isObject())
                return MakeErrorFromJson(document);
        } catch (const std::exception&) {
        }
        return ECTError(ECTErrorCode::Technical_Issue);
    }

    ZUVAServiceListener& listener_;
    void* handle_ = nullptr;
    std::atomic<bool> stopped_{false};
};

const ZUVAServiceImpl::Callbacks ServiceSession::callbacks{&ServiceSession::onStarted,     &ServiceSession::onStopped,
                                                           &ServiceSession::onConnected,   &ServiceSession::onDisconnected,
                                                           &ServiceSession::onError,       &ServiceSession::onNotification};

ZUVAServiceImpl::ZUVAServiceImpl(ZUVAServiceListener& listener, Starter starter)
    : listener_(listener), starter_(std::move(starter))
{
    settings();
}

ZUVAServiceImpl::~ZUVAServiceImpl() = default;

void ZUVAServiceImpl::startService()
{
    const std::shared_ptr<ServiceSession> session = ServiceSession::start(listener_, starter_);
    if (!session)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.push_back(session);
}

void ZUVAServiceImpl::stopService()
{
    std::vector<std::shared_ptr<ServiceSession>> running;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running.swap(sessions_);
    }
    for (const auto& session : running)
        session->stop(); // no lock: the listener runs inside
}

Settings ZUVAServiceImpl::settings() const
{
    return getServiceSettings();
}

void ZUVAServiceImpl::updateSettings(const Settings& settings)
{
    Json::Value members(Json::objectValue);
    members["cardInfoTrailingRequestTimeout"] = Json::Int64(settings.cardInfoTrailingRequestTimeout);
    members["cardRecognitionTimeout"] = Json::Int64(settings.cardRecognitionTimeout);
    members["connectionAdviceTimeout"] = Json::Int64(settings.connectionAdviceTimeout);
    members["certificationModeEnabled"] = settings.certificationModeEnabled;
    members["currencyCode"] = settings.currencyCode;
    members["certificationFilePath"] = settings.certificationFilePath;
    members["certificationFileName"] = settings.certificationFileName;
    members["displayResultTimeout"] = Json::Int64(settings.displayResultTimeout);
    if (settings.deliveryTimeout)
        members["deliveryTimeout"] = Json::Int64(*settings.deliveryTimeout);
    if (settings.serialHeartBeatInterval)
        members["serialHeartBeatInterval"] = Json::Int64(*settings.serialHeartBeatInterval);
    Json::Value document(Json::objectValue);
    document["serviceSettings"] = members;
    zuva_set_service_settings(writeJson(document).c_str());
}

std::vector<std::shared_ptr<ZUVATerminal>> ZUVAServiceImpl::connectedTerminals()
{
    return ConnectedTerminalsList::getInstance().connectedTerminalsFor(listener_);
}

std::shared_ptr<ZUVATerminal> ZUVAServiceImpl::getTerminal(std::string terminalId)
{
    for (const auto& terminal : connectedTerminals())
        if (terminal->terminalId() == terminalId)
            return terminal;
    return nullptr;
}

} // namespace ect
