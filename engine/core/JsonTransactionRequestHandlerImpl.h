#pragma once

#include "engine/core/JsonTransactionRequestHandler.h"
#include "foundation/LibraryMutex.h"

#include <QJsonObject>
#include <QMap>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace oxa {

class JsonTransactionRequestHandlerImpl : public JsonTransactionRequestHandler {
public:
    struct TransactionHandlers {
        std::shared_ptr<JsonTransactionRequest> request;
        std::shared_ptr<JsonZUVAResponse> response;
        TransactionMethod method = Sequential;
    };

    explicit JsonTransactionRequestHandlerImpl(std::shared_ptr<TransactionDispatcher> dispatcher);

    void registerTransaction(QString action, std::unique_ptr<JsonTransactionRequest> request,
                             std::unique_ptr<JsonZUVAResponse> response, TransactionMethod method) override;
    // A body over 9999 bytes cannot be announced in the header and is refused
    // with std::invalid_argument like any other request that cannot be sent.
    void makeTransaction(QJsonDocument document, std::function<void(QJsonDocument)>&& resultCallback,
                         std::function<QJsonDocument(QJsonDocument)>&& reverseCallback) override;

    // The next number that no transaction in flight holds.
    int gotoNextSequenceNr();
    // The empty entry (null translators) for an unregistered action.
    TransactionHandlers getTransactionHandlers(QString action) const;

private:
    // 1 to 99, then 1 again.
    int drawSequenceNr();
    static QString validatedAction(QJsonObject const& request);
    std::unique_ptr<ZUVATransaction> prepareTransaction(TransactionHandlers const& handlers,
                                                        QJsonObject const& request);

    std::shared_ptr<TransactionDispatcher> dispatcher_;
    std::atomic<std::uint32_t> sequenceCounter_{0};
    mutable vorsam::LibraryMutex registryMutex_;
    QMap<QString, TransactionHandlers> registry_;
    // A translator keeps what its last body read; one preparation at a time.
    vorsam::LibraryMutex preparationMutex_;
};

} // namespace oxa
