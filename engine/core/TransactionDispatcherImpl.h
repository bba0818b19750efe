#pragma once

#include "engine/core/TransactionDispatcher.h"
#include "foundation/LibraryMutex.h"
#include "foundation/Runnable.h"
#include "foundation/Thread.h"

#include <QJsonDocument>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

namespace oxa {

// The dispatcher of one terminal connection, running on "DispatchThread".
// Every transaction it accepts ends with exactly one result: its reply, a
// refusal, a time-out (each transaction keeps its own, set aside or not), a
// reset (also when a clearing transaction drops it), a reported error, or
// code 2 cause 18 NetworkError when the stream refuses the message or the
// dispatcher is destroyed first; a nested transaction instead delivers the
// result of the sale whose delivery question it answers. Results of its own
// are delivered after the transaction has left the dispatcher, so that the
// result callback may start the next transaction. When the stream's writes
// never wait, a transaction dispatched while nothing else is under way is
// sent on the caller's thread, without waking the dispatch thread; its result
// still reaches the host on a library thread.
class TransactionDispatcherImpl : public vorsam::Runnable, public TransactionDispatcher {
    Q_OBJECT
public:
    // Used when a transaction carries no positive time-out.
    static constexpr std::chrono::milliseconds kDefaultTimeout{45000};

    // How long the transaction waits for its reply once sent.
    static std::chrono::milliseconds timeoutOf(ZUVATransaction const& transaction);

    explicit TransactionDispatcherImpl(std::shared_ptr<vorsam::OutputStream> outputStream);
    ~TransactionDispatcherImpl() override;

    void dispatch(std::unique_ptr<ZUVATransaction> transaction) override;
    void closeTransaction(QSharedPointer<ZUVATransaction> transaction) override;
    void reportTransactionError(ect::ECTError const& error) override;
    void reportMessageError(QByteArray const& message, ect::ECTError const& error) override;
    bool isInFlight(QByteArray const& message) const override;
    void resetTransaction() override;
    std::uint64_t sentSoFar() const override;
    void failTransactions(ect::ECTError const& error, std::uint64_t sentBy) override;
    QSharedPointer<ZUVATransaction> getPendingTransaction(QString messageTypeId) const override;
    ReplyOwner findReplyOwner(ReplyMatcher::Reply const& reply) override;
    bool holdsSequenceNumber(int sequenceNumber) const override;
    void setOnStartTransactionCallback(std::function<void()> callback) override;
    void setOnEndTransactionCallback(std::function<void()> callback) override;

    void onFinished() override;

signals:
    // One per posted command; the commands themselves travel in the inbox, so
    // that every hand-over between threads goes through a std::mutex.
    void signalCommandPosted();

private slots:
    void onCommandPosted();
    void onTransactionTimeout();

private:
    using Clock = std::chrono::steady_clock;
    struct InFlight {
        ZUVATrans transaction;
        Clock::time_point deadline;
        // Its place among the messages sent (the first is 1).
        std::uint64_t sent;
    };

    struct Command {
        enum class Kind {
            NewTransaction,
            CloseTransaction,
            PendingTransactionError,
            MessageError,
            Reset,
            FailAll,
            // Hands a result decided on another thread to the host.
            Deliver,
            ArmTimer
        };
        Kind kind = Kind::Reset;
        ZUVATrans transaction;
        QJsonDocument error;
        // Fulfilled when a FailAll command is done; its caller waits for it.
        std::promise<void>* done = nullptr;
        // The message a MessageError is about.
        QByteArray message{};
        // The mark of a FailAll command.
        std::uint64_t sentBy = kEverySent;
    };

    void post(Command command);
    // Runs the new transaction at once when no command runs or waits, and
    // lets go of it; false when it has to be posted.
    bool startOnCallersThread(ZUVATrans& transaction);
    // The command lock, or an empty lock when the caller must post instead.
    std::unique_lock<vorsam::LibraryMutex> lockWhenIdle();
    bool isDispatchThread() const;
    bool inboxEmpty();
    // The transaction leaves; true when its result is still to be delivered.
    bool close(ZUVATrans const& transaction);
    static void deliverNoResult(ZUVATransaction const& transaction);
    // Ends the transaction with the result, which reaches the host on the
    // dispatch thread, as fail does.
    void settle(ZUVATrans const& transaction, QJsonDocument const& result);
    // Ends a transaction that left unanswered with the error, unless its reply came first.
    void fail(ZUVATrans const& transaction, QJsonDocument const& error);
    void onNewTransaction(ZUVATrans const& transaction);
    // Each returns what it took out of flight, for the caller to let go of
    // once it has let go of the command lock.
    ZUVATrans onResetPendingTransaction();
    ZUVATrans onPendingTransactionError(QJsonDocument const& error);
    ZUVATrans onMessageError(QByteArray const& message, QJsonDocument const& error);
    std::vector<ZUVATrans> onFailTransactions(QJsonDocument const& error, std::uint64_t sentBy);
    // A transaction is current.
    bool isBusy() const;
    void onNewSequentialTransaction(ZUVATrans const& transaction);
    void onNewImmediateClearQueueTransaction(ZUVATrans const& transaction);
    void onNewImmediateQueueTransaction(ZUVATrans const& transaction);
    void onNewImmediateNestedTransaction(ZUVATrans const& transaction);
    // The transaction in flight awaiting the delivery question, the current one first.
    ZUVATrans askingSale() const;
    void sendTransaction(ZUVATrans const& transaction);
    bool write(ZUVATransaction const& transaction);

    // What becomes of a transaction that leaves without its reply: the host
    // hears of a reply that still comes when it failed for the terminal's
    // silence or a lost frame or link; when the host ended it (a reset, a
    // clearing transaction) only if its reply carries an amount, since the
    // terminal, told nothing, may still carry it out.
    enum class Leaving { Ended, Unanswered };

    // The take functions leave the timer alone: it may fire for a transaction
    // that has left, and is set again for the earliest deadline then. They
    // remember a transaction under the same lock as they take it, so that no
    // reply can fall between its leaving and its remembering.
    // The transaction in flight leaves (null when idle).
    ZUVATrans takeCurrent(Leaving leaving);
    // The transaction leaves, current or set aside, answered or unsent.
    void take(ZUVATrans const& transaction, bool answered);
    // The transaction in flight whose message is these bytes leaves (null when none).
    ZUVATrans takeByMessage(QByteArray const& message);
    std::vector<ZUVATrans> takeExpired(Clock::time_point now);
    // Current and set-aside transactions sent by the mark.
    std::vector<ZUVATrans> takeInFlight(std::uint64_t sentBy);
    // Current and set-aside transactions for which leaves holds, current first.
    std::vector<ZUVATrans> takeWhere(std::function<bool(InFlight const&)> const& leaves);
    std::deque<Command> takeUnstarted();
    bool holdsLocked(int sequenceNumber) const;
    // Called with stateMutex_ held: the transactions in flight as the matcher
    // sees them, and the one at its index.
    ReplyMatcher::InFlight const& inFlightLocked() const;
    ZUVATrans const& inFlightAt(int index) const;
    // Called with stateMutex_ held as the transaction leaves.
    void remember(ZUVATransaction const& transaction, bool answered, bool reportable);
    // Sets the timer for the earliest deadline unless it fires before it
    // already; from another thread the dispatch thread is asked to.
    void armTimer();
    void startTimer();

    void callStartCallback() const;
    // Once no transaction awaits a reply any more.
    void callEndCallback();
    bool awaitsAReply() const;

    QTimer* timer_;
    std::shared_ptr<vorsam::OutputStream> outputStream_;
    const bool startsOnCallersThread_;
    // Held while a command runs, on the dispatch thread or on a caller's.
    vorsam::LibraryMutex commandMutex_;

    // Guards current_, suspended_ (read by findReplyOwner on other threads),
    // sent_, matcher_, inFlightView_ and timerDeadline_.
    mutable vorsam::LibraryMutex stateMutex_;
    boost::optional<InFlight> current_;
    std::vector<InFlight> suspended_;
    std::uint64_t sent_ = 0;
    ReplyMatcher matcher_;
    // Filled afresh for each look-up; kept for its room.
    mutable ReplyMatcher::InFlight inFlightView_;
    // When the timer fires; max while it is not set.
    Clock::time_point timerDeadline_ = Clock::time_point::max();

    // Commands posted but not yet carried out by the dispatch thread, in order.
    vorsam::LibraryMutex inboxMutex_;
    std::deque<Command> inbox_;

    mutable vorsam::LibraryMutex callbackMutex_;
    std::function<void()> onStartTransactionCallback_;
    std::function<void()> onEndTransactionCallback_;

    vorsam::Thread thread_;
};

} // namespace oxa
