#pragma once

#include "engine/core/JsonTransactionRequest.h"
#include "engine/core/JsonZUVAResponse.h"
#include "engine/core/TransactionDispatcher.h"
#include "engine/core/TransactionMethod.h"

#include <QJsonDocument>
#include <QString>

#include <functional>
#include <memory>

namespace oxa {

// Turns the sale system's JSON requests into transactions for the dispatcher.
class JsonTransactionRequestHandler {
public:
    virtual ~JsonTransactionRequestHandler() = default;

    // Throws std::invalid_argument "transaction handler with type <action>
    // already registered" for an action registered before.
    virtual void registerTransaction(QString action, std::unique_ptr<JsonTransactionRequest> request,
                                     std::unique_ptr<JsonZUVAResponse> response,
                                     TransactionMethod method) = 0;
    // Builds the transaction and hands it to the dispatcher, which then owes
    // the result callback exactly one call; the callbacks go with it, and
    // the caller's are left empty. Every failure before that is thrown to
    // the caller (std::invalid_argument, std::runtime_error, ect::ECTError),
    // no callback is called and the caller keeps them.
    virtual void makeTransaction(QJsonDocument document, std::function<void(QJsonDocument)>&& resultCallback,
                                 std::function<QJsonDocument(QJsonDocument)>&& reverseCallback) = 0;
};

// Throws std::invalid_argument "TransactionDispatcher is null" for a null dispatcher.
std::unique_ptr<JsonTransactionRequestHandler> makeJsonTransactionRequestHandler(
    std::shared_ptr<TransactionDispatcher> dispatcher);

} // namespace oxa
