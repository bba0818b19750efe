#pragma once

#include "common/ECTError.h"
#include "engine/core/ReplyMatcher.h"
#include "engine/core/ZUVATransaction.h"
#include "foundation/OutputStream.h"

#include <QByteArray>
#include <QSharedPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

namespace oxa {

// The only writer of protocol messages towards one terminal: sends each
// transaction under its dispatch mode and time-out and ends it with exactly
// one result. State changes run on the dispatcher's own thread, or on the
// caller's when that needs no waiting; the operations return at once (except
// failTransactions).
class TransactionDispatcher {
public:
    // The mark that takes in every transaction, whenever sent.
    static constexpr std::uint64_t kEverySent = std::numeric_limits<std::uint64_t>::max();

    virtual ~TransactionDispatcher() = default;

    virtual void dispatch(std::unique_ptr<ZUVATransaction> transaction) = 0;
    // The response handler has taken the transaction's reply.
    virtual void closeTransaction(QSharedPointer<ZUVATransaction> transaction) = 0;
    // Fails the transaction in flight with the error (link failure).
    virtual void reportTransactionError(ect::ECTError const& error) = 0;
    // Fails the transaction in flight, current or set aside, whose message is
    // exactly these bytes (its frame was lost); fails nothing when none is,
    // as when that transaction has already ended.
    virtual void reportMessageError(QByteArray const& message, ect::ECTError const& error) = 0;
    // Whether the transaction whose message is exactly these bytes is in
    // flight, current or set aside. Any thread.
    virtual bool isInFlight(QByteArray const& message) const = 0;
    // Fails the transaction in flight with code 2, cause 30 ResetTransaction.
    virtual void resetTransaction() = 0;
    // How many messages have been sent so far: a mark that tells the
    // transactions in flight now from those sent later. Any thread.
    virtual std::uint64_t sentSoFar() const = 0;
    // Fails the transaction in flight and every set-aside one that was sent
    // by the mark with the error (the connection, or the link they went out
    // on, is gone) and returns only when that is done. Called on the
    // dispatcher's own thread it runs at once; elsewhere the caller must not
    // hold anything a result callback may wait for.
    virtual void failTransactions(ect::ECTError const& error, std::uint64_t sentBy) = 0;
    // The transaction a received message of this type belongs to: a set-aside
    // transaction expecting it, else the one in flight, else null. Any thread.
    virtual QSharedPointer<ZUVATransaction> getPendingTransaction(QString messageTypeId) const = 0;
    // Who a received message belongs to: a transaction in flight, or an
    // ended one whose late or repeated reply it is; neither when none.
    struct ReplyOwner {
        QSharedPointer<ZUVATransaction> transaction;
        boost::optional<ReplyMatcher::Ended> ended;
    };
    // The one rule for every reply, error and rejection included: the
    // connection's ReplyMatcher decides. Any thread.
    virtual ReplyOwner findReplyOwner(ReplyMatcher::Reply const& reply) = 0;
    // Whether a transaction in flight holds the number (see
    // ZUVATransaction::ownsSequenceNumber). Any thread.
    virtual bool holdsSequenceNumber(int sequenceNumber) const = 0;
    // Called before each message is written.
    virtual void setOnStartTransactionCallback(std::function<void()> callback) = 0;
    // Called whenever a transaction ends (closed, timed out, reset or failed)
    // and none, current or set aside, awaits a reply any more.
    virtual void setOnEndTransactionCallback(std::function<void()> callback) = 0;
};

// Throws std::invalid_argument "No output stream" for a null stream.
std::unique_ptr<TransactionDispatcher> makeTransactionDispatcher(
    std::shared_ptr<vorsam::OutputStream> outputStream);

} // namespace oxa
