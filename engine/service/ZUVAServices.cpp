#include "engine/service/ZUVAServices.h"

#include "engine/core/ErrorDocument.h"
#include "engine/base/ECTCertificationLogging.h"

#include <QJsonArray>
#include <QJsonObject>

#include <stdexcept>

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

void LogQtLogsToFile(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    const QString line = QStringLiteral("[QT-") + levelName(type) + QStringLiteral("] ") + message;
    ECTCertificationLogging::sharedInstance().log(line.toUtf8().toStdString());
}

void call(const ZUVAServices::DocumentCallback& callback, const QJsonDocument& document)
{
    if (callback)
        callback(document);
}

} // namespace

ZUVAServices& ZUVAServices::instance()
{
    static ZUVAServices services;
    return services;
}

ZUVAServices::ZUVAServices()
    : m_environment(sharedOXAEnvironment())
    , m_qt(std::make_unique<vorsam::SharedQtLibrary>())
{
    qInstallMessageHandler(LogQtLogsToFile);
}

ZUVAServices::~ZUVAServices()
{
    m_qt.reset();
}

void ZUVAServices::init()
{
}

quintptr ZUVAServices::createTcpIpService(int port, DocumentCallback started, DocumentCallback stopped,
                                          DocumentCallback error, DocumentCallback connected,
                                          DocumentCallback disconnected, DocumentCallback notification)
{
    auto toListener = [](DocumentCallback callback) {
        return [callback](QJsonDocument document, std::weak_ptr<TerminalConnection>) { call(callback, document); };
    };
    auto service = std::make_shared<TcpIpService>();
    service->listener = std::make_shared<ZUVATcpIpServerListener>(
        m_environment, toListener(connected), toListener(disconnected), toListener(notification));
    service->server = vorsam::makeTcpIpServer();
    service->server->registerListener(service->listener);
    const auto listenPort = static_cast<unsigned short>(port & 0xFFFF);
    if (!service->server->listen(listenPort)) {
        call(error, errorDocument(ect::ECTError(
                        ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::UnableToStartServer,
                        {{"reason", "Unable to listen on port " + std::to_string(listenPort)}})));
        return 0;
    }
    service->serviceStopped = stopped;
    service->serviceError = error;
    void* handle = service.get();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tcpIpServices.emplace(handle, service);
    }
    call(started, QJsonDocument());
    return reinterpret_cast<quintptr>(handle);
}

void ZUVAServices::stopService(void* handle)
{
    std::shared_ptr<TcpIpService> service;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_tcpIpServices.find(handle);
        if (it == m_tcpIpServices.end())
            return;
        service = it->second;
        m_tcpIpServices.erase(it);
    }
    // The server goes first: once its thread has ended, no socket event holds a
    // connection any more, so ending the connections gives every transaction
    // in flight its result before the host hears of the disconnection.
    service->server.reset();
    service->listener->closeAll();
    call(service->serviceStopped, QJsonDocument());
}

void ZUVAServices::stopAllServices()
{
    std::vector<void*> handles;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& entry : m_tcpIpServices)
            handles.push_back(entry.first);
    }
    for (void* handle : handles)
        stopService(handle);
}

std::vector<std::shared_ptr<ZUVATcpIpServerListener>> ZUVAServices::tcpIpListeners() const
{
    std::vector<std::shared_ptr<ZUVATcpIpServerListener>> listeners;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_tcpIpServices)
        listeners.push_back(entry.second->listener);
    return listeners;
}

std::shared_ptr<TerminalConnection> ZUVAServices::getTerminalConnection(const QString& terminalId) const
{
    for (const auto& listener : tcpIpListeners())
        if (auto connection = listener->getTerminalConnection(terminalId))
            return connection;
    return nullptr;
}

void ZUVAServices::failRequest(const DocumentCallback& result, const ect::ECTError& error) const
{
    call(result, errorDocument(error));
}

int ZUVAServices::sendTransaction(const QString& terminalId, const QString& json, DocumentCallback result,
                                  ReverseCallback reverse)
{
    try {
        const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
        const auto connection = getTerminalConnection(terminalId);
        if (!connection)
            throw std::invalid_argument("Terminal with id " + terminalId.toStdString() + " is not connected");
        connection->makeTransaction(document, result, reverse);
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
    const auto connection = getTerminalConnection(terminalId);
    if (!connection)
        return -1;
    connection->resetTransactions();
    return 0;
}

int ZUVAServices::enableNotifications(const QString& terminalId, bool enable)
{
    const auto connection = getTerminalConnection(terminalId);
    if (!connection)
        return -1;
    connection->enableNotifications(enable);
    return 0;
}

void ZUVAServices::closeTerminalConnection(const QString&) const
{
}

QJsonDocument ZUVAServices::getConnectionDescription(const QString& terminalId) const
{
    for (const auto& listener : tcpIpListeners()) {
        const QJsonDocument description = listener->getConnectionDescription(terminalId);
        if (!description.isNull())
            return description;
    }
    return QJsonDocument();
}

QJsonDocument ZUVAServices::getConnectedTerminals() const
{
    QJsonArray terminals;
    for (const auto& listener : tcpIpListeners())
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

void ZUVAServices::deleteQt()
{
    std::unique_ptr<vorsam::SharedQtLibrary> holder;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        holder.swap(m_qt);
    }
}

} // namespace oxa
