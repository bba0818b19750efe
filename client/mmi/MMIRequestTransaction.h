#pragma once

#include "client/Transaction.h"
#include "client/mmi/MMITransactionResult.h"

#include <json/value.h>

#include <functional>
#include <memory>
#include <string>

namespace ect {

class TerminalContext;

// Base of the transactions that send one display or keyboard request and
// hand its result on: the single requests, and the flows, which send their
// MMI open through it and start their next step from its result. Unlike
// other results, a display result is built with the name of its action, and
// a flow goes on with the terminal the request went to. A moved-from object
// sends nothing and calls nobody.
class MMIRequestTransaction : public Transaction {
public:
    // Runs with the result, given the terminal the request went to.
    using Continuation = std::function<void(const MMITransactionResult&, const std::shared_ptr<TerminalContext>&)>;

    std::string beginTransaction(TransactionContext& context) override;
    bool endTransaction(const std::string& reply, std::function<void(const std::string&)> respond) override;

protected:
    struct State;
    // The whole state, handed from a moved-from object to its successor.
    struct MovedState {
        std::shared_ptr<State> state;
    };

    // action: the name the result is built with. An empty continuation is
    // never called.
    MMIRequestTransaction(std::string action, const Json::Value& request, Continuation continuation);
    explicit MMIRequestTransaction(MovedState moved);

    // For move(): this object keeps no state.
    MovedState releaseState();

    // A continuation that hands the result to the host's callback (empty stays empty).
    static Continuation callingBack(std::function<void(const MMITransactionResult&)> callback);

private:
    std::shared_ptr<State> state_;
};

} // namespace ect
