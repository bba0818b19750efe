#include "client/ZUVATransactionContext.h"

#include "client/Contained.h"
#include "client/TerminalContext.h"
#include "client/TerminalOwner.h"
#include "client/Transaction.h"
#include "common/ResultsToJson.h"

#include <utility>

namespace ect {

namespace {

class Handling;

// The innermost result this thread is handling.
thread_local const Handling* handled = nullptr;

// Marks this thread as handling a result of the context while it lives; a
// step refused at once is handled inside the result that started it.
class Handling {
public:
    explicit Handling(TransactionContext* context) : context(context), previous(handled) { handled = this; }
    ~Handling() { handled = previous; }
    Handling(const Handling&) = delete;
    Handling& operator=(const Handling&) = delete;

    TransactionContext* const context;
    const Handling* const previous;
};

} // namespace

std::shared_ptr<TransactionContext> TransactionContext::create(std::weak_ptr<TerminalContext> terminalContext,
                                                               SendFunction sendFunction,
                                                               std::shared_ptr<TerminalOwner> owner)
{
    auto context = std::make_shared<TransactionContext>(std::move(terminalContext), std::move(sendFunction),
                                                        std::move(owner));
    context->self_ = context;
    return context;
}

TransactionContext::TransactionContext(std::weak_ptr<TerminalContext> terminalContext, SendFunction sendFunction,
                                       std::shared_ptr<TerminalOwner> owner)
    : terminalContext_(std::move(terminalContext)), sendFunction_(std::move(sendFunction)), owner_(std::move(owner))
{
}

void TransactionContext::startTransaction(Transaction&& transaction)
{
    const std::shared_ptr<TerminalContext> terminal = terminalContext_.lock();
    if (!terminal)
        return;
    // A refused request is released inside the send; this context must outlive it.
    const std::shared_ptr<TransactionContext> self = self_.lock();
    // Held by this context alone: once handed over, the transaction (and
    // whatever its callback holds) goes as the library releases it, on a
    // library thread, never inside this call.
    Transaction& running = hold(transaction.move());
    try {
        beginAndSend(running, *terminal, self);
    } catch (...) {
        releaseTransaction(); // its owner's terminal must not stay taken
        throw;
    }
}

std::shared_ptr<TerminalOwner> TransactionContext::ownerOfNextStep(const std::string& terminalId)
{
    std::shared_ptr<TerminalOwner> owner = handledOwner(terminalId);
    return owner ? owner : std::make_shared<TerminalOwner>(terminalId);
}

std::shared_ptr<TerminalOwner> TransactionContext::handledOwner(const std::string& terminalId)
{
    if (handled && handled->context->owner_ && handled->context->owner_->terminalId() == terminalId)
        return handled->context->owner_;
    return nullptr;
}

void TransactionContext::endHandledStep()
{
    if (!handled)
        return;
    // The outer results of the same flow have no step left either: a step
    // refused at once calls the host before they return.
    const std::shared_ptr<TerminalOwner>& owner = handled->context->owner_;
    handled->context->endStep();
    for (const Handling* outer = handled->previous; owner && outer && outer->context->owner_ == owner;
         outer = outer->previous)
        outer->context->endStep();
}

Transaction& TransactionContext::hold(std::shared_ptr<Transaction> transaction)
{
    Transaction& held = *transaction;
    std::shared_ptr<Transaction> replaced;
    bool started = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        replaced = std::exchange(transaction_, std::move(transaction));
        started = !std::exchange(holdsStep_, true);
    }
    if (started && owner_)
        owner_->stepStarted();
    return held;
}

void TransactionContext::beginAndSend(Transaction& transaction, const TerminalContext& terminal,
                                      const std::shared_ptr<TransactionContext>& self)
{
    const std::string request = transaction.onBeginTransaction(*this);
    if (request.empty() || !sendFunction_) {
        releaseTransaction(); // nothing will ever end it
        return;
    }
    if (!self)
        throw std::bad_weak_ptr();
    const std::string terminalId = terminal.getTerminalId();
    if (!owner_)
        return handOver(self, terminalId, request);
    owner_->send(
        request,
        [self, terminalId, request] {
            try {
                self->handOver(self, terminalId, request);
            } catch (...) {
                self->releaseTransaction(); // also when handed over from another thread's queue
                throw;
            }
        },
        [self](const ECTError& refusal) { self->endAtOnce(oxa::jsonFromError(refusal)); },
        handledOwner(terminalId).get());
}

void TransactionContext::handOver(const std::shared_ptr<TransactionContext>& self, const std::string& terminalId,
                                  const std::string& request)
{
    auto userData = std::make_unique<std::shared_ptr<TransactionContext>>(self);
    sendFunction_(terminalId.c_str(), request.c_str(), &TransactionContext::onTransactionCallback, userData.get(),
                  &replyFunction_, &replyHandle_, &TransactionContext::onRelease);
    userData.release(); // the send's release function frees it
}

void TransactionContext::endAtOnce(const std::string& text)
{
    contained("transaction result", [&] { onResult(text); });
    releaseTransaction();
}

void TransactionContext::sendResponse(const std::string& answer)
{
    if (replyFunction_)
        replyFunction_(answer.c_str(), replyHandle_);
}

void TransactionContext::onTransactionCallback(const char* text, void* userData)
{
    if (!userData || !text)
        return;
    const std::shared_ptr<TransactionContext> context = *static_cast<std::shared_ptr<TransactionContext>*>(userData);
    contained("transaction result", [&] { context->onResult(text); });
}

void TransactionContext::onRelease(void* userData)
{
    const std::unique_ptr<std::shared_ptr<TransactionContext>> context(
        static_cast<std::shared_ptr<TransactionContext>*>(userData));
    if (context)
        contained("transaction release", [&] { (*context)->releaseTransaction(); });
}

void TransactionContext::onResult(const std::string& text)
{
    const std::shared_ptr<Transaction> transaction = heldTransaction();
    if (!transaction)
        return;
    if (owner_)
        owner_->noteResult(text);
    // Steps the transaction starts now belong to its owner.
    const Handling handling(this);
    try {
        transaction->onEndTransaction(text);
    } catch (...) {
        releaseTransaction();
        throw;
    }
    if (transaction->isFinished())
        releaseTransaction();
}

std::shared_ptr<Transaction> TransactionContext::heldTransaction() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return transaction_;
}

void TransactionContext::releaseTransaction()
{
    std::shared_ptr<Transaction> released;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released.swap(transaction_);
    }
    // Before released is destroyed: what it holds may call the host, who may send at once.
    endStep();
}

void TransactionContext::endStep()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!std::exchange(holdsStep_, false))
            return;
    }
    if (owner_)
        owner_->stepEnded();
}

} // namespace ect
