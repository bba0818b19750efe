#include "client/mmi/MMITransactionResult.h"

#include "client/TransactionHelpers.h"

#include <json/json.h>

namespace ect {

struct MMITransactionResult::Impl {
    boost::optional<ECTError> error;
    bool okKeyPressed = false;
    bool stopKeyPressed = false;
    bool aborted = false;
    std::string terminalIdentifier;
};

namespace {

// A flag the engine never writes as text, array or object; reading such a
// value as false could turn a malformed reply into an accepted PIN.
bool isFlag(const Json::Value& value)
{
    return value.isNull() || value.isBool() || value.isNumeric();
}

} // namespace

MMITransactionResult::MMITransactionResult(const std::string& name, const std::string& reply,
                                           const std::string& terminalId)
{
    auto impl = std::make_shared<Impl>();
    impl->terminalIdentifier = terminalId;
    const ParsedReply parsed = parseReply(name, reply);
    impl->error = parsed.error;
    if (!parsed.error) {
        const Json::Value& result = parsed.result;
        const Json::Value& ok = result["okKeyPressed"];
        const Json::Value& stop = result["stopKeyPressed"];
        const Json::Value& aborted = result["aborted"];
        if (isFlag(ok) && isFlag(stop) && isFlag(aborted)) {
            impl->okKeyPressed = ok.asBool();
            impl->stopKeyPressed = stop.asBool();
            impl->aborted = aborted.asBool();
        } else {
            impl->error = ECTError(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::InvalidResponse);
        }
    }
    impl_ = std::move(impl);
}

bool MMITransactionResult::okKeyPressed() const
{
    return impl_->okKeyPressed;
}

bool MMITransactionResult::stopKeyPressed() const
{
    return impl_->stopKeyPressed;
}

bool MMITransactionResult::aborted() const
{
    return impl_->aborted;
}

std::string MMITransactionResult::terminalIdentifier() const
{
    return impl_->terminalIdentifier;
}

boost::optional<ECTError> MMITransactionResult::error() const
{
    return impl_->error;
}

} // namespace ect
