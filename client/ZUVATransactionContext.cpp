#include "client/ZUVATransactionContext.h"

#include "client/Contained.h"
#include "client/TerminalContext.h"
#include "client/TerminalOwner.h"
#include "client/Transaction.h"
#include "common/ResultsToJson.h"

#include <utility>

namespace ect {

namespace {

// The context whose result this thread is handling.
thread_local TransactionContext* handled = nullptr;

// Marks this thread as handling a result of the context while it lives.
class Handling {
public:
    explicit Handling(TransactionContext* context) : previous_(handled) { handled = context; }
    ~Handling() { handled = previous_; }
    Handling(const Handling&) = delete;
    Handling& operator=(const Handling&) = delete;

private:
    TransactionContext* const previous_;
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
    const std::shared_ptr<Transaction> running = transaction.move();
    hold(running);
    try {
        beginAndSend(*running, *terminal, self);
    } catch (...) {
        releaseTransaction(); // its owner's terminal must not stay taken
        throw;
    }
}

std::shared_ptr<TerminalOwner> TransactionContext::ownerOfNextStep(const std::string& terminalId)
{
    if (handled && handled->owner_ && handled->owner_->terminalId() == terminalId)
        return handled->owner_;
    return std::make_shared<TerminalOwner>(terminalId);
}

void TransactionContext::endHandledStep()
{
    if (handled)
        handled->endStep();
}

void TransactionContext::hold(std::shared_ptr<Transaction> transaction)
{
    std::shared_ptr<Transaction> replaced;
    bool started = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        replaced = std::exchange(transaction_, std::move(transaction));
        started = !std::exchange(holdsStep_, true);
    }
    if (started && owner_)
        owner_->stepStarted();
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
        request, [self, terminalId, request] { self->handOver(self, terminalId, request); },
        [self](const ECTError& refusal) { self->endAtOnce(oxa::jsonFromError(refusal)); });
}

void TransactionContext::handOver(const std::shared_ptr<TransactionContext>& self, const std::string& terminalId,
                                  const std::string& request)
{
    auto* userData = new std::shared_ptr<TransactionContext>(self);
    sendFunction_(terminalId.c_str(), request.c_str(), &TransactionContext::onTransactionCallback, userData,
                  &replyFunction_, &replyHandle_, &TransactionContext::onRelease);
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
