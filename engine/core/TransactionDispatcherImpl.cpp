#include "engine/core/TransactionDispatcherImpl.h"

#include "encoding/LogHelpers.h"
#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/HostWarning.h"
#include "engine/core/ErrorDocument.h"
#include "foundation/RunnableProxy.h"
#include "foundation/Thread.h"

#include <QThread>
#include <QtDebug>

#include <algorithm>
#include <climits>
#include <exception>
#include <stdexcept>

namespace oxa {

namespace {

QJsonDocument failure(ect::ECTErrorCode code, ect::ECTErrorCauseCode cause)
{
    return errorDocument(ect::ECTError(code, cause));
}

QJsonDocument failure(ect::ECTErrorCode code, ect::ECTErrorCauseCode cause, std::string const& reason)
{
    return errorDocument(ect::ECTError(code, cause, {{"reason", reason}}));
}

QJsonDocument networkError(std::string const& reason)
{
    return failure(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError, reason);
}

void invokeQuietly(std::function<void()> const& callback, char const* what)
{
    if (!callback)
        return;
    try {
        callback();
    } catch (std::exception const& e) {
        qWarning("%s failed: %s", what, e.what());
    } catch (...) {
        qWarning("%s failed", what);
    }
}

QByteArray messageOf(ZUVATransaction const& transaction)
{
    return transaction.header.data() + transaction.body.data();
}

bool carriesAmount(ZUVATransaction const& transaction)
{
    return transaction.response && transaction.response->carriesAmount();
}

// Capped so that the deadline stays far inside the clock's range.
const std::chrono::milliseconds kLongestTimeout = std::chrono::hours(24 * 365);

} // namespace

std::chrono::milliseconds TransactionDispatcherImpl::timeoutOf(ZUVATransaction const& transaction)
{
    if (transaction.timeout.count() <= 0)
        return kDefaultTimeout;
    return std::min(transaction.timeout, kLongestTimeout);
}

TransactionDispatcherImpl::TransactionDispatcherImpl(std::shared_ptr<vorsam::OutputStream> outputStream)
    : timer_(new QTimer(this))
    , outputStream_(std::move(outputStream))
    , startsOnCallersThread_(outputStream_ && outputStream_->writesWithoutWaiting())
    , thread_(QStringLiteral("DispatchThread"))
{
    if (!outputStream_)
        throw std::invalid_argument("No output stream");
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);

    // Connected before the thread starts, so that nothing dispatched early is
    // missed, and always queued: a transaction started from a callback running
    // on the dispatch thread waits until the current command is done.
    connect(this, &TransactionDispatcherImpl::signalCommandPosted, this, &TransactionDispatcherImpl::onCommandPosted,
            Qt::QueuedConnection);
    connect(timer_, &QTimer::timeout, this, &TransactionDispatcherImpl::onTransactionTimeout);

    // Results of transactions that time out or fail reach the host on this thread.
    thread_.setStackSize(vorsam::Thread::HostCodeStackSize);
    thread_.reset(std::unique_ptr<vorsam::Runnable>(new vorsam::RunnableProxy(this)));
}

TransactionDispatcherImpl::~TransactionDispatcherImpl()
{
    {
        std::lock_guard<vorsam::LibraryMutex> lock(callbackMutex_);
        onStartTransactionCallback_ = nullptr;
        onEndTransactionCallback_ = nullptr;
    }
    thread_.reset();
    for (ZUVATrans const& transaction : takeInFlight(kEverySent))
        transaction->finish(networkError("connection closed"));
    for (Command const& command : takeUnstarted()) {
        if (command.kind == Command::Kind::NewTransaction)
            command.transaction->finish(networkError("connection closed"));
        else if (command.kind == Command::Kind::Deliver)
            command.transaction->finish(command.error);
    }
}

void TransactionDispatcherImpl::dispatch(std::unique_ptr<ZUVATransaction> transaction)
{
    if (!transaction)
        return;
    ZUVATrans started(transaction.release());
    if (!startOnCallersThread(started))
        post(Command{Command::Kind::NewTransaction, std::move(started), QJsonDocument()});
}

bool TransactionDispatcherImpl::startOnCallersThread(ZUVATrans& transaction)
{
    if (!startsOnCallersThread_)
        return false;
    const std::unique_lock<vorsam::LibraryMutex> running = lockWhenIdle();
    if (!running.owns_lock())
        return false;
    onNewTransaction(transaction);
    // Let go while the dispatcher still holds it (in flight, or in the
    // command that delivers its result), which it does until this lock is
    // released: the caller's is then never the last reference, and what the
    // transaction holds (the host's callbacks) goes on a library thread.
    transaction.reset();
    return true;
}

// Held only when no command runs and none waits, so that work done on the
// caller's thread keeps its place behind what was posted before it. Never
// waits: the holder may be a callback that waits for this caller.
std::unique_lock<vorsam::LibraryMutex> TransactionDispatcherImpl::lockWhenIdle()
{
    std::unique_lock<vorsam::LibraryMutex> running(commandMutex_, std::defer_lock);
    if (isDispatchThread() || !running.try_lock() || !inboxEmpty())
        return std::unique_lock<vorsam::LibraryMutex>();
    return running;
}

bool TransactionDispatcherImpl::isDispatchThread() const
{
    return QThread::currentThread() == thread();
}

void TransactionDispatcherImpl::settle(ZUVATrans const& transaction, QJsonDocument const& result)
{
    if (isDispatchThread())
        fail(transaction, result);
    else
        post(Command{Command::Kind::Deliver, transaction, result});
}

void TransactionDispatcherImpl::fail(ZUVATrans const& transaction, QJsonDocument const& error)
{
    if (transaction->finish(error))
        return;
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    matcher_.answered(*transaction);
}

void TransactionDispatcherImpl::closeTransaction(QSharedPointer<ZUVATransaction> transaction)
{
    if (!transaction)
        return;
    // Ended from the moment it took its result, whichever thread closes it:
    // the next reply finds it so, however soon it comes.
    if (transaction->hasEnded())
        take(transaction, true);
    // Commands posted before it, such as the nested transaction its reply
    // started, come first.
    std::unique_lock<vorsam::LibraryMutex> running = lockWhenIdle();
    if (!running.owns_lock()) {
        post(Command{Command::Kind::CloseTransaction, std::move(transaction), QJsonDocument()});
        return;
    }
    const bool unanswered = close(transaction);
    running.unlock();
    if (unanswered)
        deliverNoResult(*transaction);
}

bool TransactionDispatcherImpl::close(ZUVATrans const& transaction)
{
    take(transaction, true);
    callEndCallback();
    return transaction->claimResult();
}

// A reply that produced no result and handed it to no nested transaction.
void TransactionDispatcherImpl::deliverNoResult(ZUVATransaction const& transaction)
{
    transaction.deliverResult(
        failure(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::InvalidResponse, "the reply gave no result"));
}

bool TransactionDispatcherImpl::inboxEmpty()
{
    std::lock_guard<vorsam::LibraryMutex> lock(inboxMutex_);
    return inbox_.empty();
}

void TransactionDispatcherImpl::reportTransactionError(ect::ECTError const& error)
{
    post(Command{Command::Kind::PendingTransactionError, ZUVATrans(), errorDocument(error)});
}

void TransactionDispatcherImpl::reportMessageError(QByteArray const& message, ect::ECTError const& error)
{
    post(Command{Command::Kind::MessageError, ZUVATrans(), errorDocument(error), nullptr, message});
}

bool TransactionDispatcherImpl::isInFlight(QByteArray const& message) const
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    if (current_ && messageOf(*current_->transaction) == message)
        return true;
    return std::any_of(suspended_.begin(), suspended_.end(),
                       [&](InFlight const& entry) { return messageOf(*entry.transaction) == message; });
}

void TransactionDispatcherImpl::resetTransaction()
{
    post(Command{Command::Kind::Reset, ZUVATrans(), QJsonDocument()});
}

std::uint64_t TransactionDispatcherImpl::sentSoFar() const
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    return sent_;
}

void TransactionDispatcherImpl::failTransactions(ect::ECTError const& error, std::uint64_t sentBy)
{
    if (isDispatchThread()) {
        onFailTransactions(errorDocument(error), sentBy);
        return;
    }
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    post(Command{Command::Kind::FailAll, ZUVATrans(), errorDocument(error), &done, QByteArray(), sentBy});
    const vorsam::Thread::Waiting forTheDispatchThread;
    finished.wait();
}

void TransactionDispatcherImpl::post(Command command)
{
    {
        std::lock_guard<vorsam::LibraryMutex> lock(inboxMutex_);
        inbox_.push_back(std::move(command));
    }
    emit signalCommandPosted();
}

QSharedPointer<ZUVATransaction> TransactionDispatcherImpl::getPendingTransaction(QString messageTypeId) const
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    return inFlightAt(ReplyMatcher::takerOf(messageTypeId, inFlightLocked()));
}

TransactionDispatcher::ReplyOwner TransactionDispatcherImpl::findReplyOwner(ReplyMatcher::Reply const& reply)
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    ReplyMatcher::Decision decision = matcher_.match(reply, inFlightLocked());
    return ReplyOwner{inFlightAt(decision.taker), std::move(decision.ended)};
}

ReplyMatcher::InFlight const& TransactionDispatcherImpl::inFlightLocked() const
{
    inFlightView_.clear();
    for (InFlight const& suspended : suspended_)
        inFlightView_.push_back(suspended.transaction.data());
    if (current_)
        inFlightView_.push_back(current_->transaction.data());
    return inFlightView_;
}

ZUVATrans const& TransactionDispatcherImpl::inFlightAt(int index) const
{
    static ZUVATrans const& none = *new ZUVATrans();
    if (index < 0)
        return none;
    return size_t(index) < suspended_.size() ? suspended_[size_t(index)].transaction : current_->transaction;
}

// Its warning reaches the host once the locks are let go, before the result.
void TransactionDispatcherImpl::remember(ZUVATransaction const& transaction, bool answered, bool reportable)
{
    if (boost::optional<QString> warning = matcher_.end(transaction, answered, reportable))
        HostWarning::report(warning->toStdString());
}

bool TransactionDispatcherImpl::holdsSequenceNumber(int sequenceNumber) const
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    return holdsLocked(sequenceNumber);
}

bool TransactionDispatcherImpl::holdsLocked(int sequenceNumber) const
{
    if (current_ && current_->transaction->ownsSequenceNumber(sequenceNumber))
        return true;
    return std::any_of(suspended_.begin(), suspended_.end(),
                       [&](InFlight const& entry) { return entry.transaction->ownsSequenceNumber(sequenceNumber); });
}

void TransactionDispatcherImpl::setOnStartTransactionCallback(std::function<void()> callback)
{
    std::lock_guard<vorsam::LibraryMutex> lock(callbackMutex_);
    onStartTransactionCallback_ = std::move(callback);
}

void TransactionDispatcherImpl::setOnEndTransactionCallback(std::function<void()> callback)
{
    std::lock_guard<vorsam::LibraryMutex> lock(callbackMutex_);
    onEndTransactionCallback_ = std::move(callback);
}

void TransactionDispatcherImpl::onFinished()
{
    // The timer belongs to this thread; it cannot be stopped once the thread is gone.
    timer_->stop();
}

void TransactionDispatcherImpl::onCommandPosted()
{
    // Let go of after the lock: the last reference to a transaction releases
    // the host's callbacks, and with them its free function.
    Command command;
    std::vector<ZUVATrans> leaving;
    // Taken first, so that a caller's thread sees the inbox empty only when
    // no command is about to run. The results the command gives reach the
    // host as it is let go.
    std::unique_lock<vorsam::LibraryMutex> running(commandMutex_);
    {
        std::lock_guard<vorsam::LibraryMutex> lock(inboxMutex_);
        if (inbox_.empty())
            return;
        command = std::move(inbox_.front());
        inbox_.pop_front();
    }
    switch (command.kind) {
    case Command::Kind::NewTransaction:
        onNewTransaction(command.transaction);
        break;
    case Command::Kind::CloseTransaction:
        if (close(command.transaction))
            deliverNoResult(*command.transaction);
        break;
    case Command::Kind::PendingTransactionError:
        leaving.push_back(onPendingTransactionError(command.error));
        break;
    case Command::Kind::MessageError:
        leaving.push_back(onMessageError(command.message, command.error));
        break;
    case Command::Kind::Reset:
        leaving.push_back(onResetPendingTransaction());
        break;
    case Command::Kind::FailAll:
        leaving = onFailTransactions(command.error, command.sentBy);
        // The caller goes on once the results are with the host and the
        // transactions let go of.
        running.unlock();
        leaving.clear();
        command.done->set_value();
        break;
    case Command::Kind::Deliver:
        fail(command.transaction, command.error);
        break;
    case Command::Kind::ArmTimer:
        startTimer();
        break;
    }
}

void TransactionDispatcherImpl::onNewTransaction(ZUVATrans const& transaction)
{
    switch (transaction->method) {
    case ImmediateQueue:
        onNewImmediateQueueTransaction(transaction);
        break;
    case ImmediateNested:
        onNewImmediateNestedTransaction(transaction);
        break;
    case ImmediateClearQueue:
        onNewImmediateClearQueueTransaction(transaction);
        break;
    default:
        onNewSequentialTransaction(transaction);
        break;
    }
}

bool TransactionDispatcherImpl::awaitsAReply() const
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    return current_ || !suspended_.empty();
}

bool TransactionDispatcherImpl::isBusy() const
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    return bool(current_);
}

void TransactionDispatcherImpl::onNewSequentialTransaction(ZUVATrans const& transaction)
{
    if (isBusy()) {
        settle(transaction, failure(ect::ECTErrorCode::Rejected, ect::ECTErrorCauseCode::TransactionAlreadyRunning));
        return;
    }
    sendTransaction(transaction);
}

void TransactionDispatcherImpl::onNewImmediateClearQueueTransaction(ZUVATrans const& transaction)
{
    const ZUVATrans dropped = takeCurrent(Leaving::Ended);
    if (dropped)
        callEndCallback();
    sendTransaction(transaction);
    if (dropped)
        settle(dropped, failure(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::ResetTransaction));
}

void TransactionDispatcherImpl::onNewImmediateQueueTransaction(ZUVATrans const& transaction)
{
    {
        std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
        if (current_) {
            suspended_.push_back(*current_);
            current_ = boost::none;
        }
    }
    sendTransaction(transaction);
}

void TransactionDispatcherImpl::onNewImmediateNestedTransaction(ZUVATrans const& transaction)
{
    // The answer belongs to the sale that asked; it must neither reach a
    // terminal that no longer waits for it nor take another transaction's
    // result. That sale may have been set aside by a cancellation.
    const ZUVATrans outer = askingSale();
    if (!outer || !outer->handOverResult(*transaction)) {
        qWarning("%s not sent: no transaction is waiting for it", qUtf8Printable(transaction->action()));
        settle(transaction, failure(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::InvalidRequest,
                                    "no sale is waiting for a product delivery answer"));
        return;
    }
    take(outer, true);
    // In the sale's place, ahead of a cancellation still in flight.
    onNewImmediateQueueTransaction(transaction);
}

ZUVATrans TransactionDispatcherImpl::askingSale() const
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    // The sale whose question came, whichever others await theirs; else the
    // first that awaits one, the current sale first.
    ZUVATrans awaiting;
    const auto asked = [&](ZUVATrans const& transaction) {
        if (!transaction->awaitsDeliveryQuestion())
            return false;
        if (!awaiting)
            awaiting = transaction;
        return transaction->wasAsked();
    };
    if (current_ && asked(current_->transaction))
        return current_->transaction;
    for (InFlight const& entry : suspended_) {
        if (asked(entry.transaction))
            return entry.transaction;
    }
    return awaiting;
}

void TransactionDispatcherImpl::sendTransaction(ZUVATrans const& transaction)
{
    callStartCallback();
    {
        std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
        current_ = InFlight{transaction, Clock::now() + timeoutOf(*transaction), ++sent_};
    }
    armTimer();
    logZUVAMessage("Message send", transaction->action().toStdString(), transaction->header, transaction->body);
    if (write(*transaction))
        return;
    take(transaction, false);
    callEndCallback();
    settle(transaction, networkError("the message could not be written"));
}

bool TransactionDispatcherImpl::write(ZUVATransaction const& transaction)
{
    const QByteArray message = messageOf(transaction);
    try {
        return outputStream_->write(reinterpret_cast<unsigned char const*>(message.constData()), message.size());
    } catch (std::exception const& e) {
        qWarning("Writing a message failed: %s", e.what());
        return false;
    }
}

ZUVATrans TransactionDispatcherImpl::onResetPendingTransaction()
{
    ZUVATrans transaction = takeCurrent(Leaving::Ended);
    callEndCallback();
    if (transaction)
        fail(transaction, failure(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::ResetTransaction));
    return transaction;
}

ZUVATrans TransactionDispatcherImpl::onPendingTransactionError(QJsonDocument const& error)
{
    ZUVATrans transaction = takeCurrent(Leaving::Unanswered);
    callEndCallback();
    if (transaction)
        fail(transaction, error);
    return transaction;
}

ZUVATrans TransactionDispatcherImpl::onMessageError(QByteArray const& message, QJsonDocument const& error)
{
    ZUVATrans transaction = takeByMessage(message);
    if (!transaction)
        return transaction;
    callEndCallback();
    fail(transaction, error);
    return transaction;
}

std::vector<ZUVATrans> TransactionDispatcherImpl::onFailTransactions(QJsonDocument const& error,
                                                                     std::uint64_t sentBy)
{
    std::vector<ZUVATrans> failed = takeInFlight(sentBy);
    callEndCallback();
    for (ZUVATrans const& transaction : failed)
        fail(transaction, error);
    return failed;
}

void TransactionDispatcherImpl::onTransactionTimeout()
{
    // Let go of after the lock, as a command's.
    std::vector<ZUVATrans> expired;
    std::lock_guard<vorsam::LibraryMutex> running(commandMutex_);
    {
        std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
        timerDeadline_ = Clock::time_point::max();
    }
    expired = takeExpired(Clock::now());
    armTimer();
    for (ZUVATrans const& transaction : expired) {
        ECTCertificationLogging::sharedInstance().log("transaction timeout occured");
        callEndCallback();
        fail(transaction, errorDocument(ect::ECTError(ect::ECTErrorCode::Timeout)));
    }
}

ZUVATrans TransactionDispatcherImpl::takeCurrent(Leaving leaving)
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    if (!current_)
        return ZUVATrans();
    const ZUVATrans taken = current_->transaction;
    current_ = boost::none;
    remember(*taken, false, leaving == Leaving::Unanswered || carriesAmount(*taken));
    return taken;
}

void TransactionDispatcherImpl::take(ZUVATrans const& transaction, bool answered)
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    const auto found = std::find_if(suspended_.begin(), suspended_.end(),
                                    [&](InFlight const& entry) { return entry.transaction == transaction; });
    if (current_ && current_->transaction == transaction)
        current_ = boost::none;
    else if (found != suspended_.end())
        suspended_.erase(found);
    else
        return;
    remember(*transaction, answered, false);
}

ZUVATrans TransactionDispatcherImpl::takeByMessage(QByteArray const& message)
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    ZUVATrans taken;
    if (current_ && messageOf(*current_->transaction) == message) {
        taken = current_->transaction;
        current_ = boost::none;
    }
    const auto found = std::find_if(suspended_.begin(), suspended_.end(),
                                    [&](InFlight const& entry) { return messageOf(*entry.transaction) == message; });
    if (!taken && found != suspended_.end()) {
        taken = found->transaction;
        suspended_.erase(found);
    }
    if (taken)
        remember(*taken, false, true);
    return taken;
}

std::vector<ZUVATrans> TransactionDispatcherImpl::takeExpired(Clock::time_point now)
{
    return takeWhere([now](InFlight const& entry) { return entry.deadline <= now; });
}

std::vector<ZUVATrans> TransactionDispatcherImpl::takeInFlight(std::uint64_t sentBy)
{
    return takeWhere([sentBy](InFlight const& entry) { return entry.sent <= sentBy; });
}

std::vector<ZUVATrans> TransactionDispatcherImpl::takeWhere(std::function<bool(InFlight const&)> const& leaves)
{
    std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
    std::vector<InFlight> leaving;
    if (current_ && leaves(*current_)) {
        leaving.push_back(*current_);
        current_ = boost::none;
    }
    const auto kept = std::stable_partition(suspended_.begin(), suspended_.end(),
                                            [&](InFlight const& entry) { return !leaves(entry); });
    leaving.insert(leaving.end(), kept, suspended_.end());
    suspended_.erase(kept, suspended_.end());
    std::vector<ZUVATrans> taken;
    for (InFlight const& entry : leaving) {
        remember(*entry.transaction, false, true);
        taken.push_back(entry.transaction);
    }
    return taken;
}

std::deque<TransactionDispatcherImpl::Command> TransactionDispatcherImpl::takeUnstarted()
{
    std::deque<Command> unstarted;
    std::lock_guard<vorsam::LibraryMutex> lock(inboxMutex_);
    unstarted.swap(inbox_);
    return unstarted;
}

void TransactionDispatcherImpl::armTimer()
{
    {
        std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
        Clock::time_point earliest = Clock::time_point::max();
        if (current_)
            earliest = current_->deadline;
        for (InFlight const& entry : suspended_)
            earliest = std::min(earliest, entry.deadline);
        if (earliest >= timerDeadline_)
            return;
        timerDeadline_ = earliest;
    }
    if (isDispatchThread())
        startTimer();
    else
        post(Command{Command::Kind::ArmTimer, ZUVATrans(), QJsonDocument()});
}

void TransactionDispatcherImpl::startTimer()
{
    Clock::time_point deadline;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(stateMutex_);
        deadline = timerDeadline_;
    }
    if (deadline == Clock::time_point::max())
        return;
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    timer_->start(int(std::max<std::int64_t>(0, std::min<std::int64_t>(remaining, INT_MAX))));
}

void TransactionDispatcherImpl::callStartCallback() const
{
    std::function<void()> callback;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(callbackMutex_);
        callback = onStartTransactionCallback_;
    }
    invokeQuietly(callback, "Start callback");
}

void TransactionDispatcherImpl::callEndCallback()
{
    // A transaction set aside still awaits its reply.
    if (awaitsAReply())
        return;
    std::function<void()> callback;
    {
        std::lock_guard<vorsam::LibraryMutex> lock(callbackMutex_);
        callback = onEndTransactionCallback_;
    }
    invokeQuietly(callback, "End callback");
}

std::unique_ptr<TransactionDispatcher> makeTransactionDispatcher(std::shared_ptr<vorsam::OutputStream> outputStream)
{
    return std::unique_ptr<TransactionDispatcher>(new TransactionDispatcherImpl(std::move(outputStream)));
}

} // namespace oxa
