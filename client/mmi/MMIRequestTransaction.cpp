#include "client/mmi/MMIRequestTransaction.h"

#include "client/TransactionHelpers.h"

#include <utility>

namespace ect {

struct MMIRequestTransaction::State {
    std::string action;
    std::string request;
    Continuation continuation;
    std::shared_ptr<TerminalContext> terminal;
};

MMIRequestTransaction::MMIRequestTransaction(std::string action, const Json::Value& request,
                                             Continuation continuation)
    : state_(std::make_shared<State>(State{std::move(action), writeJson(request), std::move(continuation), nullptr}))
{
}

MMIRequestTransaction::MMIRequestTransaction(MovedState moved)
    : state_(std::move(moved.state))
{
}

MMIRequestTransaction::MovedState MMIRequestTransaction::releaseState()
{
    return MovedState{std::move(state_)};
}

MMIRequestTransaction::Continuation
MMIRequestTransaction::callingBack(std::function<void(const MMITransactionResult&)> callback)
{
    if (!callback)
        return nullptr;
    return [callback = std::move(callback)](const MMITransactionResult& result,
                                            const std::shared_ptr<TerminalContext>&) {
        TransactionContext::endHandledStep();
        callback(result);
    };
}

std::string MMIRequestTransaction::beginTransaction(TransactionContext& context)
{
    if (!state_)
        return std::string(); // moved away: nothing to send
    state_->terminal = context.terminalContext().lock();
    return state_->request;
}

bool MMIRequestTransaction::endTransaction(const std::string& reply, std::function<void(const std::string&)>)
{
    if (state_ && state_->continuation) {
        const std::string terminalId = state_->terminal ? state_->terminal->getTerminalId() : std::string();
        state_->continuation(MMITransactionResult(state_->action, reply, terminalId), state_->terminal);
    }
    return true;
}

} // namespace ect
