#include "engine/service/ZUVATerminalConnection.h"

#include "engine/service/JsonConnectionAdviceResponse.h"
#include "engine/service/JsonSynchronizationAdviceResponse.h"
#include "translators/ZUVATransactionTable.h"

#include <stdexcept>

namespace oxa {

ZUVATerminalConnection::ZUVATerminalConnection(std::shared_ptr<OXAEnvironment> environment,
                                               std::shared_ptr<TransactionDispatcher> dispatcher,
                                               std::unique_ptr<JsonTransactionRequestHandler> requestHandler,
                                               std::unique_ptr<JsonZUVAResponseHandler> responseHandler)
    : m_environment(std::move(environment))
    , m_dispatcher(std::move(dispatcher))
    , m_requestHandler(std::move(requestHandler))
    , m_responseHandler(std::move(responseHandler))
{
    registerTransactions();
    registerNotificationHandlers();
}

ZUVATerminalConnection::~ZUVATerminalConnection()
{
    m_responseHandler.reset();
    m_requestHandler.reset();
    m_dispatcher.reset();
    m_environment.reset();
}

void ZUVATerminalConnection::registerTransactions()
{
    ZUVATransactionTable::registerTransactions(*m_requestHandler, m_environment, m_requestHandler);
}

void ZUVATerminalConnection::registerNotificationHandlers()
{
    m_responseHandler->registerNotificationHandler(std::make_unique<JsonConnectionAdviceResponse>());
}

void ZUVATerminalConnection::makeTransaction(QJsonDocument document,
                                             std::function<void(QJsonDocument)>&& resultCallback,
                                             std::function<QJsonDocument(QJsonDocument)>&& reverseCallback)
{
    m_requestHandler->makeTransaction(document, std::move(resultCallback), std::move(reverseCallback));
}

void ZUVATerminalConnection::resetTransactions()
{
    m_dispatcher->resetTransaction();
}

void ZUVATerminalConnection::enableNotifications(bool enable)
{
    std::lock_guard<vorsam::LibraryMutex> lock(m_notificationMutex);
    if (!enable) {
        m_responseHandler->unregisterNotificationHandler(JsonSynchronizationAdviceResponse().getMessageTypeId());
        return;
    }
    try {
        m_responseHandler->registerNotificationHandler(std::make_unique<JsonSynchronizationAdviceResponse>());
    } catch (const std::invalid_argument&) {
        // Already enabled.
    }
}

void ZUVATerminalConnection::onDataReady()
{
    m_responseHandler->readMessage();
}

void ZUVATerminalConnection::onClose()
{
    failTransactionsSentBy(TransactionDispatcher::kEverySent);
}

std::uint64_t ZUVATerminalConnection::sentSoFar() const
{
    return m_dispatcher->sentSoFar();
}

void ZUVATerminalConnection::onLinkLost(std::uint64_t sentBy)
{
    failTransactionsSentBy(sentBy);
}

void ZUVATerminalConnection::failTransactionsSentBy(std::uint64_t sentBy)
{
    // A reply that arrived before the end wins over the disconnection.
    m_responseHandler->handleReceived();
    m_dispatcher->failTransactions(
        ect::ECTError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError), sentBy);
}

} // namespace oxa
