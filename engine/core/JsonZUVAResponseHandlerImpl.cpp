#include "engine/core/JsonZUVAResponseHandlerImpl.h"

#include "encoding/LogHelpers.h"
#include "engine/base/HostWarning.h"
#include "engine/core/ErrorDocument.h"
#include "foundation/RunnableProxy.h"

#include <QThread>
#include <QTimer>
#include <QtDebug>

#include <exception>
#include <stdexcept>

namespace oxa {

namespace {

const QString& kRejectionType = *new QString(QStringLiteral("Rj"));

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
    std::vector<vorsam::ReceivedFrame> frames;
    const unsigned endsBefore = endsSoFar();
    {
        std::lock_guard<vorsam::LibraryMutex> lock(cutMutex_);
        try {
            if (inputStream_->readFrames(frames)) {
                for (vorsam::ReceivedFrame& frame : frames)
                    cutFrame(std::move(frame), endsBefore);
            } else {
                inputStream_->read(buffer_);
                while (parseZUVAMessage()) {
                }
            }
        } catch (std::exception const& e) {
            qWarning("Reading the terminal's bytes failed: %s", e.what());
        }
    }
    reportPendingWarnings();
}

void JsonZUVAResponseHandlerImpl::reportPendingWarnings()
{
    std::vector<std::string> warnings;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(cutMutex_);
        warnings.swap(pendingWarnings_);
    }
    for (std::string const& warning : warnings)
        HostWarning::report(warning);
}

bool JsonZUVAResponseHandlerImpl::parseZUVAMessage()
{
    if (buffer_.size() < ZUVAHeader::kSize)
        return false;
    ZUVAHeader header;
    try {
        header = ZUVAHeader(buffer_.left(ZUVAHeader::kSize));
    } catch (std::exception const& e) {
        warnOfDrop(QStringLiteral("Bytes that start no message skipped: %1").arg(QString::fromUtf8(e.what())), false);
        skipToNextPossibleHeader();
        return true;
    }
    const int messageSize = ZUVAHeader::kSize + header.length().length();
    if (buffer_.size() < messageSize)
        return false;
    const QByteArray bodyBytes = buffer_.mid(ZUVAHeader::kSize, messageSize - ZUVAHeader::kSize);
    clearBuffer(messageSize);
    dropWarned_ = false;
    try {
        responseQueue_->push(ZUVABody(bodyBytes), header);
    } catch (std::exception const& e) {
        qWarning("Message with an unreadable body dropped: %s", e.what());
    }
    return true;
}

void JsonZUVAResponseHandlerImpl::skipToNextPossibleHeader()
{
    const int next = buffer_.indexOf(FrameReadings::messageCode(), 1);
    if (next > 0) {
        clearBuffer(next);
        return;
    }
    // A last "M" may be the start of the next header.
    clearBuffer(buffer_.endsWith(FrameReadings::messageCode().at(0)) ? buffer_.size() - 1 : buffer_.size());
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

void JsonZUVAResponseHandlerImpl::cutFrame(vorsam::ReceivedFrame frame, unsigned endsBefore)
{
    const bool held = !buffer_.isEmpty();
    if (held) {
        // A message this frame completes may end its transaction before the
        // frame is cut: it is unfinished no longer.
        std::lock_guard<vorsam::LibraryMutex> lock(unfinished_->mutex);
        unfinished_->bytes.clear();
    }
    const bool mayBeginMessage = held && FrameReadings::couldBeginMessage(frame.payload);
    if (mayBeginMessage || frame.mayBeRepeat)
        readings_.addFrame(buffer_.size(), frame.payload.size(), mayBeginMessage, frame.mayBeRepeat);
    buffer_.append(frame.payload);
    if (!readings_.isSingle()) {
        const boost::optional<FrameReadings::Choice> choice = readings_.decide(buffer_);
        if (!choice) {
            awaitQuiet();
            noteUnfinished(endsBefore);
            return;
        }
        adopt(*choice);
    }
    cutHeld(held, endsBefore);
}

void JsonZUVAResponseHandlerImpl::cutHeld(bool held, unsigned endsBefore)
{
    while (parseZUVAMessage()) {
    }
    if (!buffer_.isEmpty() && !FrameReadings::couldBeginMessage(buffer_))
        dropLeftover(buffer_.size());
    // Nothing held before nor after the frame (its messages whole) leaves
    // nothing to note.
    if (held || !buffer_.isEmpty())
        noteUnfinished(endsBefore);
}

void JsonZUVAResponseHandlerImpl::adopt(FrameReadings::Choice const& choice)
{
    const FrameReadings::Reading& reading = choice.reading;
    // From the last, so that the offsets before it hold.
    for (auto repeat = reading.repeatsLeftOut.rbegin(); repeat != reading.repeatsLeftOut.rend(); ++repeat)
        dropRepeat(repeat->first, repeat->second, choice.repeatUndecided);
    if (reading.start > 0)
        dropLeftover(reading.start);
}

void JsonZUVAResponseHandlerImpl::awaitQuiet()
{
    lastFrameAt_ = std::chrono::steady_clock::now();
    if (settleAwaited_)
        return;
    // On the handler thread, whose end drops the timer with it.
    settleAwaited_ = caller_.post([this] { QTimer::singleShot(inputStream_->frameGap(), [this] { settleIfQuiet(); }); });
}

void JsonZUVAResponseHandlerImpl::settleIfQuiet()
{
    {
        std::lock_guard<vorsam::LibraryMutex> lock(cutMutex_);
        const auto quietFor = std::chrono::steady_clock::now() - lastFrameAt_;
        if (!readings_.isSingle() && quietFor < inputStream_->frameGap()) {
            QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(inputStream_->frameGap() - quietFor)
                                   + std::chrono::milliseconds(1),
                               [this] { settleIfQuiet(); });
            return;
        }
        settleAwaited_ = false;
        if (!readings_.isSingle()) {
            adopt(readings_.settle(buffer_));
            cutHeld(true, endsSoFar());
        }
    }
    reportPendingWarnings();
}

void JsonZUVAResponseHandlerImpl::dropLeftover(int count)
{
    bool reported = false;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(unfinished_->mutex);
        reported = unfinished_->reported && !leftoverChanged_;
        unfinished_->reported = true;
    }
    // Warned of when its transaction ended: the log has the rest.
    warnOfDrop(describeLeftover(buffer_.left(count), QStringLiteral("dropped")), !reported);
    clearBuffer(count);
}

void JsonZUVAResponseHandlerImpl::dropRepeat(int at, int size, bool undecided)
{
    const QByteArray repeat = buffer_.mid(at, size);
    buffer_.remove(at, size);
    leftoverChanged_ = true;
    if (!undecided) {
        qDebug("A frame of %d bytes dropped as the terminal's resend of the one before it", size);
        return;
    }
    QString type = QStringLiteral("unreadable");
    try {
        type = ZUVABody(repeat.mid(ZUVAHeader::kSize)).messageTypeId();
    } catch (std::exception const&) {
    }
    // The terminal may have sent its reply twice alike, or resent it for an
    // acknowledgement of ours it missed: a reply taken twice would answer the
    // next transaction with the last one's outcome.
    pendingWarnings_.push_back(
        QStringLiteral("Message %1 dropped as a resend of the terminal's last frame, which it repeats under the same "
                       "number: nothing the terminal sent after it tells whether it was a new reply, so its "
                       "transaction may end without it")
            .arg(type)
            .toStdString());
}

void JsonZUVAResponseHandlerImpl::warnOfDrop(QString const& text, bool toHost)
{
    // The rest of a damaged message follows in the frames after it.
    if (dropWarned_)
        qDebug("%s", qUtf8Printable(text));
    else if (toHost)
        pendingWarnings_.push_back(text.toStdString());
    else
        qWarning("%s", qUtf8Printable(text));
    dropWarned_ = true;
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
        pendingWarnings_.push_back(text.toStdString());
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
