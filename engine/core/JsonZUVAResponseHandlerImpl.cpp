#include "engine/core/JsonZUVAResponseHandlerImpl.h"

#include "encoding/LogHelpers.h"
#include "engine/base/HostWarning.h"
#include "engine/core/ErrorDocument.h"
#include "foundation/RunnableProxy.h"

#include <QThread>
#include <QtDebug>

#include <exception>
#include <stdexcept>

namespace oxa {

namespace {

const QString& kRejectionType = *new QString(QStringLiteral("Rj"));
const QByteArray& kMessageCode = *new QByteArray(QByteArrayLiteral("MC"));

// Whether bytes may be the first ones of a message: completed by an empty
// header's bytes, their first header's worth passes the header's checks.
bool couldBeginMessage(QByteArray const& bytes)
{
    QByteArray header = bytes.left(ZUVAHeader::kSize);
    header.append(kMessageCode.mid(header.size()));
    header.append(ZUVAHeader::kSize - header.size(), '\0');
    try {
        (void)ZUVAHeader(header);
        return true;
    } catch (std::exception const&) {
        return false;
    }
}

// How bytes read as messages: not as their headers announce, all whole but
// the last (which more bytes may complete), or all whole.
enum class Reading { Broken, Partial, Whole };

Reading readingFrom(QByteArray const& bytes, int at)
{
    while (at < bytes.size()) {
        const int left = bytes.size() - at;
        if (left < ZUVAHeader::kSize)
            return couldBeginMessage(bytes.mid(at)) ? Reading::Partial : Reading::Broken;
        try {
            const ZUVAHeader header(bytes.mid(at, ZUVAHeader::kSize));
            const int size = ZUVAHeader::kSize + header.length().length();
            if (left < size)
                return Reading::Partial;
            (void)ZUVABody(bytes.mid(at + ZUVAHeader::kSize, size - ZUVAHeader::kSize));
            at += size;
        } catch (std::exception const&) {
            return Reading::Broken;
        }
    }
    return Reading::Whole;
}

ect::ECTError invalidResponse(std::string const& reason)
{
    return ect::ECTError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::InvalidResponse,
                         {{"reason", reason}});
}

} // namespace

JsonZUVAResponseHandlerImpl::JsonZUVAResponseHandlerImpl(std::shared_ptr<TransactionDispatcher> dispatcher,
                                                         std::shared_ptr<vorsam::InputStream> inputStream,
                                                         std::function<void(QJsonDocument)> notificationCallback,
                                                         UnawaitedReplies unawaitedReplies)
    : inputStream_(std::move(inputStream))
    , dispatcher_(std::move(dispatcher))
    , notificationCallback_(std::move(notificationCallback))
    , responseQueue_(new ZUVAResponseQueue())
    , unawaitedReplies_(std::move(unawaitedReplies))
    , thread_(QStringLiteral("ResponseHandlerThread"))
{
    if (!inputStream_)
        throw std::invalid_argument("Input stream is null");
    if (!dispatcher_)
        throw std::invalid_argument("Transaction dispatcher is null");
    // Connected before the thread starts, so that no message read early is missed.
    connect(responseQueue_.get(), &ZUVAResponseQueue::dataAvailable, this,
            &JsonZUVAResponseHandlerImpl::handleResponse, Qt::QueuedConnection);
    // Results, questions and events reach the host on this thread.
    thread_.setStackSize(vorsam::Thread::HostCodeStackSize);
    thread_.reset(std::unique_ptr<vorsam::Runnable>(new vorsam::RunnableProxy(this)));
}

JsonZUVAResponseHandlerImpl::~JsonZUVAResponseHandlerImpl()
{
    thread_.reset();
}

void JsonZUVAResponseHandlerImpl::startTask()
{
    handlingThread_ = QThread::currentThread();
    caller_.open();
}

void JsonZUVAResponseHandlerImpl::onFinished()
{
    caller_.close();
    handlingThread_ = nullptr;
}

void JsonZUVAResponseHandlerImpl::handleReceived()
{
    // Inside one of its own callbacks the messages after it wait their turn.
    if (QThread::currentThread() == handlingThread_)
        return;
    caller_.call<bool>(
        [this] {
            while (handleNext()) {
            }
            return true;
        },
        false);
}

void JsonZUVAResponseHandlerImpl::readMessage()
{
    std::vector<QByteArray> frames;
    const unsigned endsBefore = endsSoFar();
    try {
        if (!inputStream_->readFrames(frames))
            inputStream_->read(buffer_);
    } catch (std::exception const& e) {
        qWarning("Reading the terminal's bytes failed: %s", e.what());
        return;
    }
    for (QByteArray& frame : frames)
        cutFrame(std::move(frame), endsBefore);
    while (parseZUVAMessage()) {
    }
}

bool JsonZUVAResponseHandlerImpl::parseZUVAMessage()
{
    if (buffer_.size() < ZUVAHeader::kSize)
        return false;
    ZUVAHeader header;
    try {
        header = ZUVAHeader(buffer_.left(ZUVAHeader::kSize));
    } catch (std::exception const& e) {
        qWarning("Bytes that start no message skipped: %s", e.what());
        skipToNextPossibleHeader();
        return true;
    }
    const int messageSize = ZUVAHeader::kSize + header.length().length();
    if (buffer_.size() < messageSize)
        return false;
    const QByteArray bodyBytes = buffer_.mid(ZUVAHeader::kSize, messageSize - ZUVAHeader::kSize);
    clearBuffer(messageSize);
    try {
        responseQueue_->push(ZUVABody(bodyBytes), header);
    } catch (std::exception const& e) {
        qWarning("Message with an unreadable body dropped: %s", e.what());
    }
    return true;
}

void JsonZUVAResponseHandlerImpl::skipToNextPossibleHeader()
{
    const int next = buffer_.indexOf(kMessageCode, 1);
    if (next > 0) {
        clearBuffer(next);
        return;
    }
    // A last "M" may be the start of the next header.
    clearBuffer(buffer_.endsWith(kMessageCode.at(0)) ? buffer_.size() - 1 : buffer_.size());
}

void JsonZUVAResponseHandlerImpl::clearBuffer(int count)
{
    buffer_.remove(0, count);
    leftoverChanged_ = true;
}

void JsonZUVAResponseHandlerImpl::registerNotificationHandler(std::unique_ptr<JsonZUVAResponse> handler)
{
    if (!handler)
        return;
    const QString key = handler->getMessageTypeId();
    std::lock_guard<vorsam::LibraryMutex> lock(handlersMutex_);
    if (notificationHandlers_.contains(key))
        throw std::invalid_argument("zuva notification handler with key " + key.toStdString() + " already exists");
    notificationHandlers_.insert(key, std::shared_ptr<JsonZUVAResponse>(std::move(handler)));
}

void JsonZUVAResponseHandlerImpl::unregisterNotificationHandler(QString messageTypeId)
{
    std::lock_guard<vorsam::LibraryMutex> lock(handlersMutex_);
    notificationHandlers_.remove(messageTypeId);
}

std::shared_ptr<JsonZUVAResponse> JsonZUVAResponseHandlerImpl::findNotificationHandler(QString const& messageTypeId) const
{
    std::lock_guard<vorsam::LibraryMutex> lock(handlersMutex_);
    return notificationHandlers_.value(messageTypeId);
}

void JsonZUVAResponseHandlerImpl::handleResponse()
{
    handleNext();
}

bool JsonZUVAResponseHandlerImpl::handleNext()
{
    const boost::optional<ZUVAResponseQueue::Message> message = responseQueue_->pop();
    if (!message)
        return false;
    try {
        handleMessage(message->first, message->second);
    } catch (std::exception const& e) {
        qWarning("Message %s dropped: %s", qUtf8Printable(message->first.messageTypeId()), e.what());
    } catch (...) {
        qWarning("Message %s dropped", qUtf8Printable(message->first.messageTypeId()));
    }
    return true;
}

void JsonZUVAResponseHandlerImpl::handleMessage(ZUVABody const& body, ZUVAHeader const& header)
{
    const QString messageTypeId = body.messageTypeId();
    if (const std::shared_ptr<JsonZUVAResponse> handler = findNotificationHandler(messageTypeId)) {
        handleNotification(*handler, body, header);
        return;
    }
    // Read once: it takes a search of the body.
    const bool error = isErrorResponse(body);
    const TransactionDispatcher::ReplyOwner owner = findOwner(body, error);
    const ZUVATrans& transaction = owner.transaction;
    // Also when no transaction waits for it: a late approval is a card charged.
    logZUVAMessage("Message received", transaction ? transaction->action().toStdString() : std::string(), header, body);
    if (!transaction) {
        if (!reportLateReply(body, owner.ended, dispatcher_->getPendingTransaction(messageTypeId).data())
            && isErrorIncident(body))
            qWarning("Error reply %s dropped: no transaction is in flight", qUtf8Printable(messageTypeId));
        return;
    }
    if (transaction->hasEnded()) {
        if (!reportLateReply(body, nullptr))
            qWarning("Message %s dropped: transaction %s has already ended", qUtf8Printable(messageTypeId),
                     qUtf8Printable(transaction->action()));
        return;
    }
    if (error)
        handleError(body, transaction);
    else
        handleTransactionResponse(body, transaction);
}

TransactionDispatcher::ReplyOwner JsonZUVAResponseHandlerImpl::findOwner(ZUVABody const& body, bool error) const
{
    return dispatcher_->findReplyOwner(
        ReplyMatcher::Reply{body.messageTypeId(), body.sequenceNumber().value(), error, body.data()});
}

bool JsonZUVAResponseHandlerImpl::reportLateReply(ZUVABody const& body, ZUVATransaction const* waiting)
{
    return reportLateReply(body, findOwner(body, isErrorResponse(body)).ended, waiting);
}

bool JsonZUVAResponseHandlerImpl::reportLateReply(ZUVABody const& body,
                                                  boost::optional<ReplyMatcher::Ended> const& ended,
                                                  ZUVATransaction const* waiting)
{
    const ReplyMatcher::Fate fate = ended ? ended->fate : ReplyMatcher::Nobody;
    if (fate == ReplyMatcher::LateReply && ended->reportable) {
        warnOfLateReply(QStringLiteral("to %1 came after the transaction had failed").arg(ended->action),
                        ended->response.get(), body);
    } else if (fate == ReplyMatcher::Repeat) {
        // The host has heard of this reply already: the terminal sent it again.
        qWarning("Message %s dropped: a repeated reply of %s", qUtf8Printable(body.messageTypeId()),
                 qUtf8Printable(ended->action));
    } else if (fate == ReplyMatcher::Resent) {
        warnOfResentReply(*ended, body);
    } else if (fate == ReplyMatcher::Contested) {
        warnOfLateReply(QStringLiteral("to %1 came after %1 had taken another reply of its type (its result may be "
                                       "another's)")
                            .arg(ended->action),
                        ended->response.get(), body);
    } else if (JsonZUVAResponse const* translator = unawaitedTranslatorOf(body)) {
        // Its transaction sent on an earlier connection or by another process.
        warnOfLateReply(unawaited(waiting), translator, body);
    } else if (ended) {
        qWarning("Message %s dropped: its number is that of %s, which has ended", qUtf8Printable(body.messageTypeId()),
                 qUtf8Printable(ended->action));
    } else {
        return false;
    }
    return true;
}

// A resend stamped anew or a changed answer: only what it says of a charge or
// a key pressed concerns the host.
void JsonZUVAResponseHandlerImpl::warnOfResentReply(ReplyMatcher::Ended const& ended, ZUVABody const& body)
{
    const QString facts = lateReplyFacts(ended.response.get(), body);
    if (facts.isEmpty()) {
        qWarning("Message %s dropped: another reply of %s, which had taken its own", qUtf8Printable(body.messageTypeId()),
                 qUtf8Printable(ended.action));
        return;
    }
    HostWarning::report(QStringLiteral("Reply %1 under the number of %2, which had taken its reply already, was "
                                       "dropped: %3")
                            .arg(body.messageTypeId(), ended.action, facts)
                            .toStdString());
}

// What waited, and what it waited for instead.
QString JsonZUVAResponseHandlerImpl::unawaited(ZUVATransaction const* waiting)
{
    if (!waiting || !waiting->response)
        return QStringLiteral("came while no transaction awaited it");
    return QStringLiteral("came while %1 awaited a reply of type %2")
        .arg(waiting->action(), waiting->response->getMessageTypeId());
}

JsonZUVAResponse const* JsonZUVAResponseHandlerImpl::unawaitedTranslatorOf(ZUVABody const& body) const
{
    const QString type = body.messageTypeId();
    for (auto const& translator : unawaitedReplies_) {
        if (translator->getMessageTypeId() == type && translator->mustReachHost(body.data()))
            return translator.get();
    }
    return nullptr;
}

// The terminal may have carried the transaction out (a card charged) while
// the host holds no result of it.
void JsonZUVAResponseHandlerImpl::warnOfLateReply(QString const& circumstance, JsonZUVAResponse const* translator,
                                                  ZUVABody const& body)
{
    const QString facts = lateReplyFacts(translator, body);
    HostWarning::report(QStringLiteral("Reply %1 %2 and was dropped%3")
                            .arg(body.messageTypeId(), circumstance, facts.isEmpty() ? QString() : ": " + facts)
                            .toStdString());
}

QString JsonZUVAResponseHandlerImpl::lateReplyFacts(JsonZUVAResponse const* translator, ZUVABody const& body)
{
    // An error reply tells by its incident code alone that the transaction was not carried out.
    if (isErrorIncident(body))
        return QStringLiteral("incident %1").arg(QString::fromStdString(body.incidentCode()->code()));
    if (isRequestRejected(body))
        return QStringLiteral("rejection %1").arg(QString::fromStdString(body.rejectionCode().code()));
    if (!translator)
        return QString();
    try {
        return translator->describeLateReply(body.data());
    } catch (...) {
        return QStringLiteral("unreadable");
    }
}

void JsonZUVAResponseHandlerImpl::handleNotification(JsonZUVAResponse& handler, ZUVABody const& body,
                                                     ZUVAHeader const& header)
{
    logZUVAMessage("Message received", handler.getMessageTypeName().toStdString(), header, body);
    QJsonDocument document;
    handler.handleResponse(body.data(), document, std::function<QJsonDocument(QJsonDocument)>());
    if (notificationCallback_)
        notificationCallback_(document);
}

bool JsonZUVAResponseHandlerImpl::isRequestRejected(ZUVABody const& body)
{
    return body.messageTypeId() == kRejectionType;
}

bool JsonZUVAResponseHandlerImpl::isErrorResponse(ZUVABody const& body)
{
    return isRequestRejected(body) || isErrorIncident(body);
}

bool JsonZUVAResponseHandlerImpl::isErrorIncident(ZUVABody const& body)
{
    if (isRequestRejected(body))
        return false;
    const boost::optional<ect::ECTIncidentCode> incident = body.incidentCode();
    return incident && incident->isErrorCode();
}

void JsonZUVAResponseHandlerImpl::handleTransactionResponse(ZUVABody const& body,
                                                            QSharedPointer<ZUVATransaction> const& transaction)
{
    qDebug("Found pending transaction");
    const QString messageTypeId = body.messageTypeId();
    // A sale awaiting the delivery question may also be ended by the sale reply itself.
    if (!transaction->expectsReply(messageTypeId)) {
        if (!reportLateReply(body, transaction.data()))
            qWarning("Reply %s dropped: transaction %s does not expect it", qUtf8Printable(messageTypeId),
                     qUtf8Printable(transaction->action()));
        return;
    }
    transaction->noteReply(messageTypeId, ReplyMatcher::digestOf(body.data()), body.sequenceNumber().value());
    QJsonDocument document;
    try {
        transaction->response->handleResponse(body.data(), document, transaction->reverseCallback);
    } catch (std::exception const& e) {
        closeTransactionWithError(invalidResponse(e.what()), transaction, body);
        return;
    } catch (ect::ECTError const& e) {
        closeTransactionWithError(invalidResponse(e.description()), transaction, body);
        return;
    } catch (...) {
        closeTransactionWithError(invalidResponse("unknown failure"), transaction, body);
        return;
    }
    closeTransaction(document, transaction, body);
}

void JsonZUVAResponseHandlerImpl::handleError(ZUVABody const& body, QSharedPointer<ZUVATransaction> const& transaction)
{
    transaction->noteReply(body.messageTypeId(), ReplyMatcher::digestOf(body.data()), body.sequenceNumber().value());
    if (isRequestRejected(body)) {
        closeTransactionWithError(ect::ECTError(body.rejectionCode()), transaction, body);
        return;
    }
    ect::ECTError::ExtraInformation extraInformation;
    if (const boost::optional<QString> merchantText = body.merchantText())
        extraInformation["merchantText"] = merchantText->toStdString();
    if (const boost::optional<QString> identifier = body.saleSystemActionIdentifier())
        extraInformation["saleSystemActionIdentifier"] = identifier->toStdString();
    closeTransactionWithError(ect::ECTError(*body.incidentCode(), extraInformation), transaction, body);
}

void JsonZUVAResponseHandlerImpl::closeTransactionWithError(ect::ECTError const& error,
                                                            QSharedPointer<ZUVATransaction> const& transaction,
                                                            ZUVABody const& body)
{
    closeTransaction(errorDocument(error), transaction, body);
}

void JsonZUVAResponseHandlerImpl::closeTransaction(QJsonDocument const& document,
                                                   QSharedPointer<ZUVATransaction> const& transaction,
                                                   ZUVABody const& body)
{
    // Claimed before the close is posted, so that the dispatcher sees who
    // delivers; an empty document leaves the result to a nested transaction.
    const bool claimed = !document.isEmpty() && transaction->claimResult();
    dispatcher_->closeTransaction(transaction);
    if (claimed)
        transaction->deliverResult(document);
    else if (!document.isEmpty() && !reportLateReply(body, nullptr))
        qWarning("Reply to transaction %s dropped: it has already ended", qUtf8Printable(transaction->action()));
}

std::unique_ptr<JsonZUVAResponseHandler> makeJsonZUVAResponseHandler(
    std::shared_ptr<TransactionDispatcher> dispatcher, std::shared_ptr<vorsam::InputStream> inputStream,
    std::function<void(QJsonDocument)> notificationCallback, UnawaitedReplies unawaitedReplies)
{
    return std::unique_ptr<JsonZUVAResponseHandler>(new JsonZUVAResponseHandlerImpl(
        std::move(dispatcher), std::move(inputStream), std::move(notificationCallback), std::move(unawaitedReplies)));
}

void JsonZUVAResponseHandlerImpl::cutFrame(QByteArray frame, unsigned endsBefore)
{
    // Nothing held before nor after the frame (its messages whole) leaves
    // nothing to note.
    const bool held = !buffer_.isEmpty();
    if (held) {
        // A message this frame completes may end its transaction before the
        // frame is cut: it is unfinished no longer.
        std::lock_guard<vorsam::LibraryMutex> lock(unfinished_->mutex);
        unfinished_->bytes.clear();
    }
    if (held && couldBeginMessage(frame))
        restarts_.push_back(buffer_.size());
    buffer_.append(frame);
    const int start = chooseStart();
    if (start > 0)
        dropLeftover(start);
    const int before = buffer_.size();
    while (parseZUVAMessage()) {
    }
    forgetRestartsBefore(before - buffer_.size());
    if (!buffer_.isEmpty() && !couldBeginMessage(buffer_))
        dropLeftover(buffer_.size());
    if (held || !buffer_.isEmpty())
        noteUnfinished(endsBefore);
}

int JsonZUVAResponseHandlerImpl::chooseStart()
{
    if (restarts_.empty())
        return 0;
    int best = 0;
    Reading bestReading = readingFrom(buffer_, 0);
    for (auto restart = restarts_.begin(); restart != restarts_.end() && bestReading != Reading::Whole;) {
        const Reading reading = readingFrom(buffer_, *restart);
        // More bytes never mend a broken reading: reading it again at every
        // frame would cost each frame as much as the frames before it.
        if (reading == Reading::Broken) {
            restart = restarts_.erase(restart);
            continue;
        }
        if (reading > bestReading) {
            best = *restart;
            bestReading = reading;
        }
        ++restart;
    }
    return best;
}

void JsonZUVAResponseHandlerImpl::dropLeftover(int count)
{
    bool reported = false;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(unfinished_->mutex);
        reported = unfinished_->reported && !leftoverChanged_;
        unfinished_->reported = true;
    }
    const QString text = describeLeftover(buffer_.left(count), QStringLiteral("dropped"));
    // Warned of when its transaction ended: the log has the rest.
    if (reported)
        qWarning("%s", qUtf8Printable(text));
    else
        HostWarning::report(text.toStdString());
    clearBuffer(count);
    forgetRestartsBefore(count);
}

void JsonZUVAResponseHandlerImpl::forgetRestartsBefore(int count)
{
    if (count <= 0 || restarts_.empty())
        return;
    std::vector<int> kept;
    for (const int restart : restarts_) {
        if (restart > count)
            kept.push_back(restart - count);
    }
    restarts_.swap(kept);
}

void JsonZUVAResponseHandlerImpl::noteUnfinished(unsigned endsBefore)
{
    QString text;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(unfinished_->mutex);
        if (leftoverChanged_)
            unfinished_->reported = false;
        leftoverChanged_ = false;
        unfinished_->bytes = buffer_;
        if (unfinished_->ends != endsBefore && unfinished_->ended)
            text = reportUnfinished(*unfinished_);
    }
    if (!text.isEmpty())
        HostWarning::report(text.toStdString());
}

unsigned JsonZUVAResponseHandlerImpl::endsSoFar() const
{
    std::lock_guard<vorsam::LibraryMutex> lock(unfinished_->mutex);
    return unfinished_->ends;
}

// Under the lock: the warning to give, once, of what is still incomplete.
QString JsonZUVAResponseHandlerImpl::reportUnfinished(Unfinished& unfinished)
{
    if (unfinished.reported || unfinished.bytes.isEmpty())
        return QString();
    unfinished.reported = true;
    // The reply of the transaction that ended may be what its frames began.
    return describeLeftover(unfinished.bytes,
                            QStringLiteral("still incomplete as the transactions ended, a reply may be lost"));
}

std::function<void(bool ended)> JsonZUVAResponseHandlerImpl::transactionsWatch()
{
    const std::weak_ptr<Unfinished> weak = unfinished_;
    return [weak](bool ended) {
        const std::shared_ptr<Unfinished> unfinished = weak.lock();
        if (!unfinished)
            return;
        QString text;
        {
            std::lock_guard<vorsam::LibraryMutex> lock(unfinished->mutex);
            unfinished->ended = ended;
            if (!ended)
                return;
            ++unfinished->ends;
            text = reportUnfinished(*unfinished);
        }
        if (!text.isEmpty())
            HostWarning::report(text.toStdString());
    };
}

QString JsonZUVAResponseHandlerImpl::describeLeftover(QByteArray const& leftover, QString const& fate)
{
    // Enough bytes to tell a header or a padding.
    const int kShownLeftover = 16;
    const QString bytes = QString::fromLatin1(leftover.left(kShownLeftover).toHex(' ').toUpper())
                          + (leftover.size() > kShownLeftover ? QStringLiteral(" ...") : QString());
    try {
        const ZUVAHeader header(leftover.left(ZUVAHeader::kSize));
        return QStringLiteral("Message cut short by the end of its frame %1: its header announces %2 body bytes, "
                              "the frame holds %3: %4")
            .arg(fate)
            .arg(header.length().length())
            .arg(leftover.size() - ZUVAHeader::kSize)
            .arg(bytes);
    } catch (std::exception const&) {
        return QStringLiteral("%1 bytes after the last message of a frame %2: %3")
            .arg(leftover.size())
            .arg(fate, bytes);
    }
}

} // namespace oxa
