#include "engine/core/ZUVATransaction.h"

#include "foundation/HeldLocks.h"

#include <QJsonObject>
#include <QtDebug>

#include <exception>

namespace oxa {

namespace {

const QString& kDeliveryQuestionType = *new QString(QStringLiteral("CR"));
const QString& kSaleReplyType = *new QString(QStringLiteral("Rd"));

} // namespace

ZUVATransaction::ZUVATransaction() = default;

ZUVATransaction::~ZUVATransaction() = default;

QString const& ZUVATransaction::action() const
{
    return actionName;
}

bool ZUVATransaction::expectsReply(QString const& messageTypeId) const
{
    return isReplyOf(response.get(), messageTypeId);
}

bool ZUVATransaction::isReplyOf(JsonZUVAResponse const* response, QString const& messageTypeId)
{
    if (!response)
        return false;
    const QString expected = response->getMessageTypeId();
    return expected == messageTypeId || (messageTypeId == kSaleReplyType && expected == kDeliveryQuestionType);
}

bool ZUVATransaction::awaitsDeliveryQuestion() const
{
    return response && response->getMessageTypeId() == kDeliveryQuestionType;
}

void ZUVATransaction::noteReply(QString const& messageTypeId, std::uint64_t digest, int sequenceNumber)
{
    replyDigest_ = digest;
    echoed_ = sequenceNumber == body.sequenceNumber().value();
    if (messageTypeId == kDeliveryQuestionType)
        asked_ = true;
}

bool ZUVATransaction::wasAsked() const
{
    return asked_.load();
}

std::uint64_t ZUVATransaction::replyDigest() const
{
    return replyDigest_;
}

bool ZUVATransaction::claimResult()
{
    return !ended_.exchange(true);
}

bool ZUVATransaction::hasEnded() const
{
    return ended_.load();
}

void ZUVATransaction::deliverResult(QJsonDocument const& document) const
{
    if (document.isEmpty() || !resultCallback)
        return;
    if (vorsam::HeldLocks::runsAtOnce()) {
        deliver(resultCallback, document, actionName);
        return;
    }
    // Under a library lock (a command of the dispatcher) the result waits for
    // its release, behind the warnings raised before it.
    vorsam::HeldLocks::outside(
        [callback = resultCallback, document, action = actionName] { deliver(callback, document, action); });
}

void ZUVATransaction::deliver(ResultCallback const& callback, QJsonDocument const& document, QString const& action)
{
    try {
        callback(document);
    } catch (std::exception const& e) {
        qWarning("Result callback of %s failed: %s", qUtf8Printable(action), e.what());
    } catch (...) {
        qWarning("Result callback of %s failed", qUtf8Printable(action));
    }
}

bool ZUVATransaction::finish(QJsonDocument const& document)
{
    if (!claimResult()) {
        qWarning("Transaction %s has already ended; a late %s dropped", qUtf8Printable(action()),
                 document.object().contains(QStringLiteral("error")) ? "error" : "result");
        return false;
    }
    deliverResult(document);
    return true;
}

bool ZUVATransaction::handOverResult(ZUVATransaction& nested)
{
    if (!claimResult())
        return false;
    nested.resultCallback = resultCallback;
    // The terminal may end the sale with an error under the sale's own number.
    nested.handedOverSequenceNumber_ = body.sequenceNumber().value();
    return true;
}

bool ZUVATransaction::ownsSequenceNumber(int sequenceNumber) const
{
    return body.sequenceNumber().value() == sequenceNumber || handedOverSequenceNumber_ == sequenceNumber;
}

} // namespace oxa
