#include "client/Transaction.h"

#include "client/ZUVATransactionContext.h"

#include <atomic>

namespace ect {

struct Transaction::Impl {
    std::atomic<bool> finished{false};
    TransactionContext* context = nullptr;
};

Transaction::Transaction() : impl_(std::make_shared<Impl>()) {}

Transaction::~Transaction() = default;

std::string Transaction::onBeginTransaction(TransactionContext& context)
{
    impl_->context = &context;
    return beginTransaction(context);
}

void Transaction::onEndTransaction(const std::string& reply)
{
    if (isFinished())
        return;
    const std::shared_ptr<Impl> impl = impl_;
    auto respond = [impl](const std::string& answer) {
        if (impl->context)
            impl->context->sendResponse(answer);
    };
    try {
        impl->finished = endTransaction(reply, respond);
    } catch (...) {
        impl->finished = true; // a broken transaction gets no second result
        throw;
    }
}

bool Transaction::isFinished() const
{
    return impl_->finished;
}

} // namespace ect
