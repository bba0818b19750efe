#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace ect {

class TerminalContext;
class TerminalOwner;
class Transaction;

// Runs one transaction on one terminal through the C interface's
// zuva_send_transaction (or a function of the same shape): the request goes
// out once, each result text comes back to the transaction, and an answer
// given through respond goes to the terminal.
//
// The C interface holds its own strong reference to the context from the send
// until it calls the release function, so a running transaction outlives the
// terminal object. The context lets go of its transaction once that is
// finished or can receive nothing more, so whatever the transaction holds (a
// host callback that holds its terminal) is not kept alive through it.
// Exceptions thrown by the transaction or the host's callback are caught at
// the C callbacks, with a line in the certification log only.
//
// A context with an owner (the terminal objects give every context one) sends
// only what the owner admits, when it admits it (a step waits while the
// host's close or cancellation runs); what it does not admit ends with the
// owner's error at once, as a request the C interface refuses does. The
// context's step counts for its owner until the host's callback is about to
// hear the outcome (endHandledStep) or the transaction is let go.
class TransactionContext {
public:
    using ResultCallback = void (*)(const char* text, void* userData);
    using ReplyFunction = void (*)(const char* text, void* handle);
    using ReleaseFunction = void (*)(void* userData);
    using SendFunction = std::function<void(const char* terminalId, const char* request, ResultCallback result,
                                            void* userData, ReplyFunction* replyFunction, void** replyHandle,
                                            ReleaseFunction release)>;

    static std::shared_ptr<TransactionContext> create(std::weak_ptr<TerminalContext> terminalContext,
                                                      SendFunction sendFunction,
                                                      std::shared_ptr<TerminalOwner> owner = nullptr);
    TransactionContext(std::weak_ptr<TerminalContext> terminalContext, SendFunction sendFunction,
                       std::shared_ptr<TerminalOwner> owner = nullptr);
    TransactionContext(const TransactionContext&) = delete;
    TransactionContext& operator=(const TransactionContext&) = delete;

    // Moves the transaction in, begins it and sends its request. Does nothing
    // when the terminal context is gone (the transaction is left untouched).
    // A request refused at once is ended (and released) before this returns.
    void startTransaction(Transaction&& transaction);

    // The terminal the transaction runs on; transactions lock it in beginTransaction.
    std::weak_ptr<TerminalContext> terminalContext() const { return terminalContext_; }

    // Passes an answer to the terminal's question; ignored before the send set the reply function.
    void sendResponse(const std::string& answer);

    // The owner of a transaction started on the terminal now: that of the
    // result this thread is handling, so that a step belongs to its flow, or
    // a new one.
    static std::shared_ptr<TerminalOwner> ownerOfNextStep(const std::string& terminalId);
    // Called right before a host's callback hears the outcome of a flow:
    // the step whose result this thread is handling, and the outer results of
    // the same flow it is handled in (a step refused at once), stop holding
    // the terminal, so that a host told of it may send at once. Steps the
    // flow has already started hold it on.
    static void endHandledStep();

    // The C callbacks given to the send function.
    static void onTransactionCallback(const char* text, void* userData);
    static void onRelease(void* userData);

private:
    // The owner of the result this thread is handling on that terminal, if any.
    static std::shared_ptr<TerminalOwner> handledOwner(const std::string& terminalId);
    // Holds the transaction in place of any other; the reference is valid
    // until it is handed over.
    Transaction& hold(std::shared_ptr<Transaction> transaction);
    void beginAndSend(Transaction& transaction, const TerminalContext& terminal,
                      const std::shared_ptr<TransactionContext>& self);
    // Ends the transaction with the text and releases it, as the C interface does for a refused request.
    void endAtOnce(const std::string& text);
    void handOver(const std::shared_ptr<TransactionContext>& self, const std::string& terminalId,
                  const std::string& request);
    void onResult(const std::string& text);
    std::shared_ptr<Transaction> heldTransaction() const;
    void releaseTransaction();
    void endStep();

    std::weak_ptr<TransactionContext> self_;
    std::weak_ptr<TerminalContext> terminalContext_;
    mutable std::mutex mutex_; // guards transaction_ and holdsStep_; never held while the transaction runs
    std::shared_ptr<Transaction> transaction_;
    bool holdsStep_ = false; // counted among its owner's steps
    ReplyFunction replyFunction_ = nullptr;
    SendFunction sendFunction_;
    void* replyHandle_ = nullptr;
    const std::shared_ptr<TerminalOwner> owner_;
};

} // namespace ect
