#include "client/ZUVATerminalImpl.h"

#include "client/ServiceInformationTransaction.h"
#include "client/TakeText.h"
#include "client/TerminalContext.h"
#include "client/TerminalOwner.h"
#include "client/ZUVATransactionContext.h"
#include "engine/service/oxazuva.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <mutex>

namespace ect {

namespace {

// Contexts of the most recent sends a terminal keeps.
constexpr std::size_t HistoryLimit = 101;

void sendThroughC(const char* terminalId, const char* request, TransactionContext::ResultCallback result,
                  void* userData, TransactionContext::ReplyFunction* replyFunction, void** replyHandle,
                  TransactionContext::ReleaseFunction release)
{
    zuva_send_transaction(terminalId, request, result, userData, replyFunction, replyHandle, release);
}

std::shared_ptr<TransactionContext> startOn(const std::weak_ptr<TerminalContext>& terminal,
                                            std::shared_ptr<TerminalOwner> owner)
{
    return TransactionContext::create(terminal, &sendThroughC, std::move(owner));
}

// A terminal that answers at all is alive, even with a refusal; what the
// library says for it (a time-out, a reset, a broken link, a refusal to send)
// is not an answer.
bool answersAlive(const boost::optional<ECTError>& error)
{
    if (!error)
        return true;
    if (error->code() == ECTErrorCode::Timeout || !error->causeCode())
        return false;
    const ECTErrorCauseCode answered[] = {
        ECTErrorCauseCode::TransactionAlreadyRunning, ECTErrorCauseCode::InvalidResponse,
        ECTErrorCauseCode::IncidentCode,              ECTErrorCauseCode::RejectionCode,
        ECTErrorCauseCode::ResetByECR,                kMalformedRequestValue};
    // InvalidRequest (not connected) is not among them
    return std::find(std::begin(answered), std::end(answered), *error->causeCode()) != std::end(answered);
}

} // namespace

struct ZUVATerminalImpl::Impl {
    std::string terminalId;
    std::string deviceType;
    std::string model;
    std::string serialNumber;
    std::string softwareVersion;
    std::string EMVKernelVersion;
    std::shared_ptr<TerminalContext> terminalContext;
    std::mutex historyMutex;
    std::deque<std::shared_ptr<TransactionContext>> history;

    void send(Transaction&& transaction, std::shared_ptr<TerminalOwner> owner)
    {
        const std::shared_ptr<TransactionContext> context = startOn(terminalContext, std::move(owner));
        {
            std::lock_guard<std::mutex> lock(historyMutex);
            if (history.size() >= HistoryLimit)
                history.pop_front();
            history.push_back(context);
        }
        context->startTransaction(std::move(transaction)); // no lock: a refusal calls back inside
    }
};

ZUVATerminalImpl::ZUVATerminalImpl(const std::string& terminalId, const std::string& deviceType,
                                   const std::string& model, const std::string& serialNumber,
                                   const std::string& softwareVersion, const std::string& EMVKernelVersion)
    : impl_(std::make_shared<Impl>())
{
    impl_->terminalId = terminalId;
    impl_->deviceType = deviceType;
    impl_->model = model;
    impl_->serialNumber = serialNumber;
    impl_->softwareVersion = softwareVersion;
    impl_->EMVKernelVersion = EMVKernelVersion;
    // Follow-ups of chained flows may outlive this object: they then run
    // without a history, still through the C interface. One started from a
    // result callback is a step of that result's transaction.
    auto terminalContext = std::make_shared<std::weak_ptr<TerminalContext>>();
    const std::weak_ptr<Impl> terminal = impl_;
    impl_->terminalContext = std::make_shared<TerminalContext>(
        terminalId, [terminal, terminalContext, terminalId](Transaction&& transaction) {
            std::shared_ptr<TerminalOwner> owner = TransactionContext::ownerOfNextStep(terminalId);
            if (const std::shared_ptr<Impl> impl = terminal.lock())
                impl->send(std::move(transaction), std::move(owner));
            else
                startOn(*terminalContext, std::move(owner))->startTransaction(std::move(transaction));
        });
    *terminalContext = impl_->terminalContext;
}

std::string ZUVATerminalImpl::terminalId() const
{
    return impl_->terminalId;
}

std::string ZUVATerminalImpl::deviceType() const
{
    return impl_->deviceType;
}

std::string ZUVATerminalImpl::model() const
{
    return impl_->model;
}

std::string ZUVATerminalImpl::serialNumber() const
{
    return impl_->serialNumber;
}

std::string ZUVATerminalImpl::softwareVersion() const
{
    return impl_->softwareVersion;
}

std::string ZUVATerminalImpl::EMVKernelVersion() const
{
    return impl_->EMVKernelVersion;
}

bool ZUVATerminalImpl::connected() const
{
    return zuva_is_terminal_connected(impl_->terminalId.c_str()) == 0;
}

void ZUVATerminalImpl::resetTransaction()
{
    zuva_reset_transaction(impl_->terminalId.c_str());
}

void ZUVATerminalImpl::enableNotifications(bool enabled)
{
    zuva_set_service_enable_notifications(impl_->terminalId.c_str(), enabled ? 1 : 0);
}

std::string ZUVATerminalImpl::getConnectionDescription() const
{
    return takeText(zuva_get_connection_description(impl_->terminalId.c_str())).value_or(std::string());
}

void ZUVATerminalImpl::send(Transaction&& transaction)
{
    impl_->send(std::move(transaction), std::make_shared<TerminalOwner>(impl_->terminalId));
}

void ZUVATerminalImpl::isAlive(std::function<void(bool)> callback)
{
    if (!connected()) {
        callback(false);
        return;
    }
    send(ServiceInformationTransaction(
        [callback](const ServiceInformationResult& result) { callback(answersAlive(result.error())); }));
}

} // namespace ect
