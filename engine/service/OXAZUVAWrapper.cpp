#include "engine/service/OXAZUVAWrapper.h"

#include "engine/service/ArgFreeCallbackHandler.h"
#include "engine/service/HostCall.h"
#include "engine/service/LibraryCall.h"
#include "engine/service/ReverseCallbackResponse.h"
#include "engine/service/ZUVAServices.h"
#include "foundation/SerialPort.h"
#include "recovery/RecoveryFileRequests.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QtGlobal>

#include <cstring>
#include <memory>

namespace {

using oxa::ArgFreeCallbackHandler;
using oxa::ReverseCallbackResponse;
using oxa::ZUVAServices;

// The library is not set up once the exit has begun: the statics that the
// set-up builds may be going already.
struct ExitBegunBeforeTheSetUp {
};

ZUVAServices& services()
{
    if (!ZUVAServices::setUpUnlessExiting())
        throw ExitBegunBeforeTheSetUp();
    return ZUVAServices::instance();
}

const char* const VersionInformation = "{ \"versionInformation\" : { \"library\" : \"2.2.0\" }}";

QString textOf(const char* text)
{
    return QString::fromUtf8(text ? text : "");
}

QByteArray jsonText(const QJsonDocument& document)
{
    return document.isNull() ? QByteArray() : document.toJson(QJsonDocument::Indented);
}

char* heapCopy(const QByteArray& text)
{
    return ::strdup(text.constData());
}

ZUVAServices::DocumentCallback documentCallback(zuva_callback callback, void* userData)
{
    if (!callback)
        return ZUVAServices::DocumentCallback();
    return [callback, userData](QJsonDocument document) { callback(jsonText(document).constData(), userData); };
}

// Once the exit has left the connections to the process's end, what a
// document is built with may have gone: the refusal is text made of constants.
int answerAtExit(const char* refusal, zuva_callback result, void* userData)
{
    if (result) {
        const oxa::HostCall hostCall;
        result(refusal, userData);
    }
    return -1;
}

int sendThroughRegistry(const QString& terminalId, const QString& json, zuva_callback result, void* userData,
                        const std::shared_ptr<ReverseCallbackResponse>& answerSlot,
                        zuva_free_function freeFunction)
{
    // Both callbacks share the release hook, and nothing else holds it: the
    // free function runs once the last of them is gone. An accepted request
    // takes them from this call, so they go on a library thread after the
    // result; a refused one leaves them to go as this returns.
    auto release = std::make_shared<ArgFreeCallbackHandler>(freeFunction, userData);
    ZUVAServices::DocumentCallback onResult;
    if (result)
        onResult = [result, userData, release](QJsonDocument document) {
            result(jsonText(document).constData(), userData);
        };
    ZUVAServices::ReverseCallback onQuestion = [result, userData, release = std::move(release),
                                                answerSlot](QJsonDocument question) {
        if (result)
            result(jsonText(question).constData(), userData);
        return QJsonDocument::fromJson(answerSlot->answer().toUtf8());
    };
    const int sent = services().sendTransaction(terminalId, json, std::move(onResult), std::move(onQuestion));
    if (sent != ZUVAServices::RefusedAtExit)
        return sent;
    // Refused by the exit: the callbacks, still here, go as this returns,
    // after the answer.
    return answerAtExit(ZUVAServices::refusalAtExit(), result, userData);
}

// Nothing may unwind into the host's C code: an unexpected failure becomes
// the function's failure value and a log line.
template <typename Result, typename Call>
Result guarded(const char* function, Result failure, Call&& call)
{
    // Made from a signal handler that interrupted a call, which may hold the
    // library's locks.
    if (oxa::LibraryCall::onThisThread())
        return failure;
    const oxa::LibraryCall libraryCall;
    try {
        return call();
    } catch (const ExitBegunBeforeTheSetUp&) {
        return failure;
    } catch (const std::exception& exception) {
        qWarning("%s failed: %s", function, exception.what());
    } catch (...) {
        qWarning("%s failed", function);
    }
    return failure;
}

template <typename Call>
void guarded(const char* function, Call&& call)
{
    guarded(function, 0, [&] {
        call();
        return 0;
    });
}

} // namespace

extern "C" {

void zuva_Initialize(void)
{
    guarded(__func__, [] { services().init(); });
}

void* zuva_createTcpIpService(int port, zuva_callback started, zuva_callback stopped, zuva_callback connected,
                              zuva_callback disconnected, zuva_callback error, zuva_callback notification,
                              void* userData)
{
    return guarded(__func__, static_cast<void*>(nullptr), [&] {
        const quintptr handle = services().createTcpIpService(
            port, documentCallback(started, userData), documentCallback(stopped, userData),
            documentCallback(error, userData), documentCallback(connected, userData),
            documentCallback(disconnected, userData), documentCallback(notification, userData));
        return reinterpret_cast<void*>(handle);
    });
}

void* zuva_createSerialService(const char* portName, zuva_callback started, zuva_callback stopped,
                               zuva_callback connected, zuva_callback disconnected, zuva_callback error,
                               zuva_callback notification, void* userData)
{
    return zuva_createSerialService2(portName, vorsam::Baud9600, started, stopped, connected, disconnected, error,
                                     notification, userData);
}

void* zuva_createSerialService2(const char* portName, int baudRate, zuva_callback started, zuva_callback stopped,
                                zuva_callback connected, zuva_callback disconnected, zuva_callback error,
                                zuva_callback notification, void* userData)
{
    return guarded(__func__, static_cast<void*>(nullptr), [&] {
        const quintptr handle = services().createSerialService(
            textOf(portName), baudRate, documentCallback(started, userData), documentCallback(stopped, userData),
            documentCallback(error, userData), documentCallback(connected, userData),
            documentCallback(disconnected, userData), documentCallback(notification, userData));
        return reinterpret_cast<void*>(handle);
    });
}

int zuva_stopService(void* handle)
{
    return guarded(__func__, -1, [&] { return services().stopService(handle) ? 0 : -1; });
}

int zuva_isTerminalConnected(const char* terminalId)
{
    return guarded(__func__, -1, [&] {
        return services().isTerminalConnected(textOf(terminalId)) ? 0 : -1;
    });
}

char* zuva_getConnectedTerminals(void)
{
    return guarded(__func__, static_cast<char*>(nullptr), []() -> char* {
        const QJsonDocument terminals = services().getConnectedTerminals();
        return terminals.isNull() ? nullptr : heapCopy(jsonText(terminals));
    });
}

int zuva_sendTransaction(const char* terminalId, const char* json, zuva_callback result, void* userData,
                         zuva_reply_function* replyFunction, void** replyHandle, zuva_free_function freeFunction)
{
    return guarded(__func__, -1, [&] {
        const auto answerSlot = std::make_shared<ReverseCallbackResponse>();
        if (replyFunction)
            *replyFunction = &ReverseCallbackResponse::OnReverseCallback;
        if (replyHandle)
            *replyHandle = answerSlot.get();
        return sendThroughRegistry(textOf(terminalId), textOf(json), result, userData, answerSlot, freeFunction);
    });
}

int zuva_resetTransaction(const char* terminalId)
{
    return guarded(__func__, -1, [&] { return services().resetTransaction(textOf(terminalId)); });
}

char* zuva_getSettings(void)
{
    return guarded(__func__, static_cast<char*>(nullptr),
                   [] { return heapCopy(jsonText(services().getEnvironment())); });
}

int zuva_setSettings(const char* settings)
{
    return guarded(__func__, -1, [&] {
        services().updateEnvironment(textOf(settings));
        return 0;
    });
}

int zuvaServiceEnableNotifications(const char* terminalId, int enable)
{
    return guarded(__func__, -1, [&] {
        return services().enableNotifications(textOf(terminalId), enable != 0);
    });
}

char* zuva_getVersionInformation(void)
{
    return ::strdup(VersionInformation);
}

char* zuva_getConnectionDescription(const char* terminalId)
{
    return guarded(__func__, static_cast<char*>(nullptr), [&] {
        return heapCopy(jsonText(services().getConnectionDescription(textOf(terminalId))));
    });
}

void zuva_stopTerminal(const char* terminalId)
{
    guarded(__func__, [&] { services().closeTerminalConnection(textOf(terminalId)); });
}

char* zuva_getAvailableSerialPorts(void)
{
    return guarded(__func__, static_cast<char*>(nullptr), [] {
        QJsonArray names;
        for (const QString& name : vorsam::getAvailableSerialPorts())
            names.append(name);
        return heapCopy(QJsonDocument(names).toJson(QJsonDocument::Indented));
    });
}

char* zuva_getRecoveryFiles(const char* terminalId)
{
    return guarded(__func__, static_cast<char*>(nullptr),
                   [&] {
                       const std::string json = ect::RecoveryFileRequests::recoveryFilesJson(terminalId);
                       return json.empty() ? nullptr : ::strdup(json.c_str());
                   });
}

int zuva_extractRecoveryFiles(const char* terminalId, const char* folder, int eraseMode)
{
    return guarded(__func__, 0,
                   [&] { return ect::RecoveryFileRequests::extractRecoveryFiles(terminalId, folder, eraseMode); });
}

void zuva_cleanup(void)
{
    guarded(__func__, [] {
        services().cleanUp();
    });
}

} // extern "C"
