#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/core/JsonTransactionRequestHandler.h"
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/TransactionDispatcher.h"
#include "engine/service/TerminalConnection.h"
#include "foundation/LibraryMutex.h"

#include <memory>
#include <mutex>

namespace oxa {

// The per-terminal stack: registers the transaction table and the connection
// advice handler, then forwards every operation to one of its three parts.
class ZUVATerminalConnection : public TerminalConnection {
public:
    ZUVATerminalConnection(std::shared_ptr<OXAEnvironment> environment,
                           std::shared_ptr<TransactionDispatcher> dispatcher,
                           std::unique_ptr<JsonTransactionRequestHandler> requestHandler,
                           std::unique_ptr<JsonZUVAResponseHandler> responseHandler);
    ~ZUVATerminalConnection() override;

    void makeTransaction(QJsonDocument document, std::function<void(QJsonDocument)>&& resultCallback,
                         std::function<QJsonDocument(QJsonDocument)>&& reverseCallback) override;
    void resetTransactions() override;
    void enableNotifications(bool enable) override;
    void onDataReady() override;
    void onClose() override;
    std::uint64_t sentSoFar() const override;
    void onLinkLost(std::uint64_t sentBy) override;

private:
    void registerTransactions();
    void registerNotificationHandlers();
    void failTransactionsSentBy(std::uint64_t sentBy);

    std::shared_ptr<OXAEnvironment> m_environment;
    std::shared_ptr<TransactionDispatcher> m_dispatcher;
    std::shared_ptr<JsonTransactionRequestHandler> m_requestHandler;
    std::shared_ptr<JsonZUVAResponseHandler> m_responseHandler;
    // Serialises the host threads that switch notifications on and off.
    vorsam::LibraryMutex m_notificationMutex;
};

} // namespace oxa
