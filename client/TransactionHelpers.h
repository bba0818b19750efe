#pragma once

#include "client/TerminalContext.h"
#include "client/Transaction.h"
#include "client/ZUVATransactionContext.h"
#include "common/ECTError.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <boost/optional.hpp>
#include <json/value.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

// The shape every per-service transaction and result class shares, so that a
// class adds only its keys and fields.

namespace ect {

// False when the text is no JSON.
bool parseJson(const std::string& text, Json::Value& document);
// The document as indented text.
std::string writeJson(const Json::Value& document);

// {"transaction": {"action": action, "type": type}}; an empty type is left out.
Json::Value makeRequest(const std::string& action, const std::string& type);

// A result text taken apart: the object "result" (null when there is an
// error) and the error, as PreprocessJsonResult decides them.
struct ParsedReply {
    Json::Value result;
    boost::optional<ECTError> error;
};
ParsedReply parseReply(const std::string& name, const std::string& reply);

// Readers of one member of an object (or of a null value). A missing or null
// member, and one of another JSON type, gives the default: empty text, false,
// 0, or an absent optional.
std::string readText(const Json::Value& object, const char* key);
boost::optional<std::string> readOptionalText(const Json::Value& object, const char* key);
bool readBool(const Json::Value& object, const char* key);
boost::optional<bool> readOptionalBool(const Json::Value& object, const char* key);
std::int64_t readInteger(const Json::Value& object, const char* key);
boost::optional<std::int64_t> readOptionalInteger(const Json::Value& object, const char* key);
// A number of any JSON numeric type.
double readNumber(const Json::Value& object, const char* key);
boost::optional<double> readOptionalNumber(const Json::Value& object, const char* key);
// Eight hexadecimal digits; any text that does not give 4 bytes reads as absent.
boost::optional<ECTSaleSystemActionIdentifier> readActionIdentifier(const Json::Value& object, const char* key);

// A date text "%Y-%m-%d-%H-%M-%S" as a calendar time: fields the text does
// not give stay 0, text after the seconds is ignored, no time zone applies;
// tm_isdst is -1 (not known), so mktime takes the zone's rule for that day.
std::tm parseDate(const std::string& text);
// The local calendar time now.
std::tm localTimeNow();

struct NoExtraState {};

// The common per-service transaction: its request document, the host's result
// callback and, once begun, the terminal it runs on, all in one shared state
// that move() hands on. The emptied object keeps a spent state of its own, so
// a setter called on it changes nothing that is sent and sending it again
// sends nothing. By default it ends on the first reply by building
// Result(reply, terminalId) and calling the callback with it.
//
// A derived class passes the request and the callback to the protected
// constructor and lets move() reach the state constructor:
//
//   class ServiceInformationTransaction
//       : public ServiceTransaction<ServiceInformationTransaction, ServiceInformationResult> {
//   public:
//       explicit ServiceInformationTransaction(Callback callback);
//   private:
//       friend ServiceTransaction;
//       using ServiceTransaction::ServiceTransaction;
//   };
//
// Extra holds whatever else the class keeps (reached through extra()).
template <typename Derived, typename Result, typename Extra = NoExtraState>
class ServiceTransaction : public Transaction {
public:
    using Callback = std::function<void(const Result&)>;

    std::unique_ptr<Transaction> move() override
    {
        std::unique_ptr<Transaction> moved(new Derived(MovedState{std::move(state_)}));
        state_ = std::make_shared<State>();
        state_->spent = true;
        return moved;
    }

    std::string beginTransaction(TransactionContext& context) override
    {
        if (state_->spent)
            return std::string(); // sent again after move(): there is nothing left to send
        state_->terminal = context.terminalContext().lock();
        return writeJson(state_->request);
    }

    bool endTransaction(const std::string& reply, std::function<void(const std::string&)> /*respond*/) override
    {
        // A result that needs more than these two (a sale's action) comes from an override.
        if constexpr (std::is_constructible<Result, const std::string&, std::string>::value) {
            TransactionContext::endHandledStep();
            state_->callback(Result(reply, terminalId()));
        }
        return true;
    }

protected:
    struct State {
        Json::Value request;
        Callback callback;
        std::shared_ptr<TerminalContext> terminal;
        Extra extra;
        bool spent = false;
    };

    ServiceTransaction(Json::Value request, Callback callback) : state_(std::make_shared<State>())
    {
        state_->request = std::move(request);
        state_->callback = std::move(callback);
    }
    // What move() hands to the new object.
    struct MovedState {
        std::shared_ptr<State> state;
    };
    explicit ServiceTransaction(MovedState moved) : state_(std::move(moved.state)) {}

    // The object "transaction" of the request, for setters that amend it.
    Json::Value& transactionObject() { return state_->request["transaction"]; }
    Extra& extra() { return state_->extra; }
    const Callback& callback() const { return state_->callback; }
    // Empty before beginTransaction.
    const std::shared_ptr<TerminalContext>& terminal() const { return state_->terminal; }
    std::string terminalId() const { return state_->terminal ? state_->terminal->getTerminalId() : std::string(); }

private:
    std::shared_ptr<State> state_;
};

} // namespace ect
