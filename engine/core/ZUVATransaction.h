#pragma once

#include "encoding/ZUVABody.h"
#include "encoding/ZUVAHeader.h"
#include "engine/core/JsonTransactionRequest.h"
#include "engine/core/JsonZUVAResponse.h"
#include "engine/core/TransactionMethod.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace oxa {

// One request in flight, from the request handler through the dispatcher to
// the response handler. Created empty and filled by the request handler; a
// Qt object so that it can travel between threads in a QSharedPointer.
//
// Its result is delivered exactly once: whoever ends the transaction first
// (reply, error reply, time-out, reset, refusal, link failure, closing
// connection) claims it; every later attempt is dropped and logged.
class ZUVATransaction : public QObject {
    Q_OBJECT
public:
    using ResultCallback = std::function<void(QJsonDocument)>;
    using ReverseCallback = std::function<QJsonDocument(QJsonDocument)>;

    ZUVATransaction();
    ~ZUVATransaction() override;

    // The sale system's action ("Sale", ...), as the request named it.
    QString actionName;
    ZUVAHeader header;
    ZUVABody body;
    std::shared_ptr<JsonZUVAResponse> response;
    std::shared_ptr<JsonTransactionRequest> request;
    ResultCallback resultCallback;
    ReverseCallback reverseCallback;
    TransactionMethod method = Sequential;
    // Copied from the request translator when the body is prepared, so that a
    // later request of the same action cannot change it. Zero or less means
    // the dispatcher's default.
    std::chrono::milliseconds timeout{0};

    QString const& action() const;
    // Whether a received message of this type is this transaction's reply:
    // its response translator's type, or "Rd" while a delivery question "CR"
    // is expected (the terminal may end the sale without asking).
    bool expectsReply(QString const& messageTypeId) const;
    // The same for a request whose response translator is this one.
    static bool isReplyOf(JsonZUVAResponse const* response, QString const& messageTypeId);
    // Whether the terminal's delivery question "CR" is what this transaction
    // waits for; only then may a nested transaction carry the answer for it.
    bool awaitsDeliveryQuestion() const;
    // Called as it takes a reply: once its delivery question has come, the
    // host's answer is its, whichever other sale awaits one.
    void noteReply(QString const& messageTypeId, std::uint64_t digest, int sequenceNumber);
    // It took its reply under its own number.
    bool echoed() const { return echoed_; }
    bool wasAsked() const;
    // The digest of the last reply it took; read only once it has ended with
    // that reply (the claim of its result publishes it).
    std::uint64_t replyDigest() const;

    // Claims the right to deliver the result; true for the first caller only.
    bool claimResult();
    bool hasEnded() const;
    // Hands a claimed result to the result callback (an empty document or
    // callback is dropped), once this thread holds no library lock.
    // Exceptions of the callback are caught and logged.
    void deliverResult(QJsonDocument const& document) const;
    // claimResult and deliverResult in one; logs and drops a late result.
    bool finish(QJsonDocument const& document);
    // Claims the transaction for a nested one that takes its result callback
    // and its sequence number over; false (and nothing taken) when it has
    // already ended.
    bool handOverResult(ZUVATransaction& nested);
    // Whether a reply carrying this sequence number answers this transaction:
    // its own request's number, or that of the sale whose result it delivers.
    bool ownsSequenceNumber(int sequenceNumber) const;

private:
    static void deliver(ResultCallback const& callback, QJsonDocument const& document, QString const& action);

    std::atomic<bool> ended_{false};
    std::atomic<bool> asked_{false};
    std::uint64_t replyDigest_ = 0;
    bool echoed_ = false;
    // The number of the sale whose result this nested transaction delivers.
    int handedOverSequenceNumber_ = -1;
};

// How transactions are shared between the threads of a connection.
using ZUVATrans = QSharedPointer<ZUVATransaction>;

} // namespace oxa
