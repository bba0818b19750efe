#include "client/ZUVATransactionContext.h"

#include "client/Contained.h"
#include "client/TerminalContext.h"
#include "client/Transaction.h"

namespace ect {

std::shared_ptr<TransactionContext> TransactionContext::create(std::weak_ptr<TerminalContext> terminalContext,
                                                               SendFunction sendFunction)
{
    auto context = std::make_shared<TransactionContext>(std::move(terminalContext), std::move(sendFunction));
    context->self_ = context;
    return context;
}

TransactionContext::TransactionContext(std::weak_ptr<TerminalContext> terminalContext, SendFunction sendFunction)
    : terminalContext_(std::move(terminalContext)), sendFunction_(std::move(sendFunction))
{
}

void TransactionContext::startTransaction(Transaction&& transaction)
{
    const std::shared_ptr<TerminalContext> terminal = terminalContext_.lock();
    if (!terminal)
        return;
    // A refused request is released inside the send; this context must outlive it.
    const std::shared_ptr<TransactionContext> self = self_.lock();
    std::shared_ptr<Transaction> running = transaction.move();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transaction_ = running;
    }
    const std::string request = running->onBeginTransaction(*this);
    if (request.empty() || !sendFunction_) {
        releaseTransaction(); // nothing will ever end it
        return;
    }
    if (!self)
        throw std::bad_weak_ptr();
    auto* userData = new std::shared_ptr<TransactionContext>(self);
    const std::string terminalId = terminal->getTerminalId();
    sendFunction_(terminalId.c_str(), request.c_str(), &TransactionContext::onTransactionCallback, userData,
                  &replyFunction_, &replyHandle_, &TransactionContext::onRelease);
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
    std::lock_guard<std::mutex> lock(mutex_);
    released.swap(transaction_);
    // released is destroyed after the lock: the transaction's state may hold anything
}

} // namespace ect
