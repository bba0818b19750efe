#include "engine/core/JsonTransactionRequestHandlerImpl.h"

#include "encoding/ECTMessageLength.h"
#include "encoding/ECTMessageSequenceNumber.h"
#include "encoding/ZUVAHeader.h"

#include <QJsonDocument>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace oxa {

namespace {

const QString& kTransactionKey = *new QString(QStringLiteral("transaction"));
const QString& kActionKey = *new QString(QStringLiteral("action"));

// 64-bit milliseconds; absurd second counts are capped instead of overflowing.
std::chrono::milliseconds inMilliseconds(std::chrono::seconds timeout)
{
    const std::int64_t cap = std::numeric_limits<std::int64_t>::max() / 1000;
    return std::chrono::milliseconds(std::max<std::int64_t>(-cap, std::min<std::int64_t>(timeout.count(), cap)) * 1000);
}

} // namespace

JsonTransactionRequestHandlerImpl::JsonTransactionRequestHandlerImpl(std::shared_ptr<TransactionDispatcher> dispatcher)
    : dispatcher_(std::move(dispatcher))
{
    if (!dispatcher_)
        throw std::invalid_argument("TransactionDispatcher is null");
}

void JsonTransactionRequestHandlerImpl::registerTransaction(QString action,
                                                            std::unique_ptr<JsonTransactionRequest> request,
                                                            std::unique_ptr<JsonZUVAResponse> response,
                                                            TransactionMethod method)
{
    std::lock_guard<vorsam::LibraryMutex> lock(registryMutex_);
    if (registry_.contains(action))
        throw std::invalid_argument("transaction handler with type " + action.toStdString() + " already registered");
    registry_.insert(action, TransactionHandlers{std::move(request), std::move(response), method});
}

void JsonTransactionRequestHandlerImpl::makeTransaction(QJsonDocument document,
                                                        std::function<void(QJsonDocument)>&& resultCallback,
                                                        std::function<QJsonDocument(QJsonDocument)>&& reverseCallback)
{
    const QJsonObject request = document.object();
    const QString action = validatedAction(request);
    const TransactionHandlers handlers = getTransactionHandlers(action);
    if (!handlers.request)
        throw std::invalid_argument(QStringLiteral("no registered handler found for action %1").arg(action).toStdString());

    std::unique_ptr<ZUVATransaction> transaction = prepareTransaction(handlers, request);
    transaction->actionName = action;
    transaction->resultCallback = std::exchange(resultCallback, nullptr);
    transaction->reverseCallback = std::exchange(reverseCallback, nullptr);
    dispatcher_->dispatch(std::move(transaction));
}

QString JsonTransactionRequestHandlerImpl::validatedAction(QJsonObject const& request)
{
    if (request.isEmpty())
        throw std::invalid_argument("Invalid JSON");
    if (!request.contains(kTransactionKey))
        throw std::invalid_argument("Invalid JSON transaction: no transaction node defined");
    const QJsonObject transaction = request.value(kTransactionKey).toObject();
    if (!transaction.contains(kActionKey))
        throw std::invalid_argument("Invalid JSON : no action defined");
    return transaction.value(kActionKey).toString();
}

std::unique_ptr<ZUVATransaction> JsonTransactionRequestHandlerImpl::prepareTransaction(
    TransactionHandlers const& handlers, QJsonObject const& request)
{
    const int sequenceNumber = gotoNextSequenceNr();
    QByteArray body;
    Ber::BerData destination;
    std::chrono::seconds timeout{0};
    {
        std::lock_guard<vorsam::LibraryMutex> lock(preparationMutex_);
        handlers.request->prepareZUVABody(sequenceNumber, request, body);
        destination = handlers.request->getDestinationCode();
        timeout = handlers.request->getTransactionTimeout();
    }
    // The header announces the length in four digits; a longer body cannot be sent.
    if (body.size() > ECTMessageLength::kMaximum)
        throw std::invalid_argument("Invalid request : message body of " + std::to_string(body.size())
                                    + " bytes is longer than " + std::to_string(ECTMessageLength::kMaximum));

    std::unique_ptr<ZUVATransaction> transaction(new ZUVATransaction());
    transaction->header = ZUVAHeader(buildZUVARequestHeader(destination, ECTMessageLength(body.size()).data()));
    transaction->body = ZUVABody(body);
    transaction->response = handlers.response;
    transaction->request = handlers.request;
    transaction->method = handlers.method;
    transaction->timeout = inMilliseconds(timeout);
    return transaction;
}

int JsonTransactionRequestHandlerImpl::gotoNextSequenceNr()
{
    // The reply of a transaction in flight must not pass for the new one's.
    int sequenceNumber = drawSequenceNr();
    for (int drawn = 1; drawn < ECTMessageSequenceNumber::kMaximum && dispatcher_->holdsSequenceNumber(sequenceNumber);
         ++drawn)
        sequenceNumber = drawSequenceNr();
    return sequenceNumber;
}

int JsonTransactionRequestHandlerImpl::drawSequenceNr()
{
    return int(sequenceCounter_.fetch_add(1) % ECTMessageSequenceNumber::kMaximum) + 1;
}

JsonTransactionRequestHandlerImpl::TransactionHandlers JsonTransactionRequestHandlerImpl::getTransactionHandlers(
    QString action) const
{
    std::lock_guard<vorsam::LibraryMutex> lock(registryMutex_);
    return registry_.value(action);
}

std::unique_ptr<JsonTransactionRequestHandler> makeJsonTransactionRequestHandler(
    std::shared_ptr<TransactionDispatcher> dispatcher)
{
    return std::unique_ptr<JsonTransactionRequestHandler>(new JsonTransactionRequestHandlerImpl(std::move(dispatcher)));
}

} // namespace oxa
