#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ect {

class TransactionContext;

// The base of every client transaction. A host builds one with its parameters
// and a result callback and hands it to ZUVATerminal::send; the terminal runs
// a heap copy made by move(), so the host's object is left empty.
//
// The running copy is begun once (beginTransaction gives the request text;
// an empty text sends nothing) and then ended with each result text until
// endTransaction returns true; later results are ignored. endTransaction runs
// on the library thread that delivers the result, or inside send when the
// request is refused at once. A transaction whose endTransaction throws
// counts as finished: the exception goes to the certification log only (see
// <zuva/HostGuide.md>), never to the library.
class Transaction {
public:
    Transaction();
    virtual ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // A new heap object of the same class that has taken over this one's state.
    virtual std::unique_ptr<Transaction> move() = 0;
    // The request document as JSON text.
    virtual std::string beginTransaction(TransactionContext& context) = 0;
    // True when the transaction is complete. respond passes an answer to the
    // terminal's question; it may be called only before endTransaction returns.
    virtual bool endTransaction(const std::string& reply, std::function<void(const std::string&)> respond) = 0;

    // Called by the transaction's context, never by a host: they run
    // beginTransaction and endTransaction and note when it has finished.
    std::string onBeginTransaction(TransactionContext& context);
    void onEndTransaction(const std::string& reply);
    bool isFinished() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace ect
