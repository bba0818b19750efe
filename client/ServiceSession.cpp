#include "client/ServiceSession.h"

#include "client/ConnectedTerminalsList.h"
#include "client/Contained.h"
#include "client/JsonObjectFactory.h"
#include "client/PreprocessJsonResult.h"
#include "client/TransactionHelpers.h"
#include "client/ZUVATerminalImpl.h"
#include "engine/service/oxazuva.h"

#include <QtGlobal>

namespace ect {

namespace {

// A terminal document that describes none is logged and dropped: a listener
// never receives an empty terminal.
std::shared_ptr<ZUVATerminal> terminalFrom(const char* text)
{
    std::shared_ptr<ZUVATerminal> terminal = MakeZUVATerminalFromJSon(text ? text : "");
    if (!terminal)
        qWarning("Client: a terminal document without a terminal dropped: %s", text ? text : "(null)");
    return terminal;
}

// The error the document carries; code 2 when it carries none.
ECTError errorFrom(const char* text)
{
    Json::Value document;
    try {
        if (text && parseJson(text, document) && document.isObject() && document["error"].isObject())
            return MakeErrorFromJson(document);
    } catch (const std::exception&) {
    }
    return ECTError(ECTErrorCode::Technical_Issue);
}

} // namespace

const ZUVAServiceImpl::Callbacks ServiceSession::callbacks{
    &ServiceSession::onStarted, &ServiceSession::onStopped, &ServiceSession::onConnected,
    &ServiceSession::onDisconnected, &ServiceSession::onError, &ServiceSession::onNotification};

ServiceSession::ServiceSession(ZUVAServiceListener& listener) : listener_(listener) {}

bool ServiceSession::start(const ZUVAServiceImpl::Starter& starter)
{
    auto* userData = new UserData(shared_from_this());
    void* const handle = starter(callbacks, userData);
    if (!handle) {
        release(userData);
        return false;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    handle_ = handle;
    const bool stopAsked = stopAsked_;
    lock.unlock();
    if (stopAsked)
        stopStarted(handle);
    return true;
}

void ServiceSession::stop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    stopAsked_ = true;
    void* const handle = handle_;
    lock.unlock();
    if (handle)
        stopStarted(handle);
}

void ServiceSession::stopStarted(void* handle) const
{
    if (!stopped_)
        zuva_stop_service(handle);
}

ServiceSession* ServiceSession::sessionOf(void* userData)
{
    return userData ? static_cast<UserData*>(userData)->get() : nullptr;
}

void ServiceSession::release(void* userData)
{
    const std::unique_ptr<UserData> holder(static_cast<UserData*>(userData));
    (*holder)->stopped_ = true;
}

void ServiceSession::onStarted(const char*, void* userData)
{
    if (ServiceSession* session = sessionOf(userData))
        contained("service started", [&] { session->listener_.onServiceStarted(); });
}

void ServiceSession::onStopped(const char*, void* userData)
{
    ServiceSession* session = sessionOf(userData);
    if (!session)
        return;
    ConnectedTerminalsList::getInstance().removeService(session);
    contained("service stopped", [&] { session->listener_.onServiceStopped(); });
    release(userData);
}

void ServiceSession::onConnected(const char* text, void* userData)
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

void ServiceSession::onDisconnected(const char* text, void* userData)
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

void ServiceSession::onError(const char* text, void* userData)
{
    if (ServiceSession* session = sessionOf(userData))
        contained("service error", [&] { session->listener_.onServiceError(errorFrom(text)); });
}

void ServiceSession::onNotification(const char* text, void* userData)
{
    if (ServiceSession* session = sessionOf(userData))
        contained("terminal event", [&] { session->listener_.onTerminalEvent(MakeTerminalEventFromJSon(text)); });
}

} // namespace ect
