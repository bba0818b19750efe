#include "BenchTransaction.h"

#include "engine/service/oxazuva.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimTerminal.h"

#include <condition_variable>
#include <memory>
#include <mutex>

using testsupport::Bytes;
using testsupport::SimMessage;

namespace {

// Outlives the wait: the library may call back after the caller gave up.
struct PendingResult {
    std::mutex mutex;
    std::condition_variable arrived;
    std::string text;
    bool done = false;
};

void keepResult(const char* json, void* userData)
{
    PendingResult& pending = **static_cast<std::shared_ptr<PendingResult>*>(userData);
    std::lock_guard<std::mutex> lock(pending.mutex);
    pending.text = json ? json : "";
    pending.done = true;
    pending.arrived.notify_all();
}

void releasePending(void* userData)
{
    delete static_cast<std::shared_ptr<PendingResult>*>(userData);
}

} // namespace

BenchTransaction BenchTransaction::choose(const std::string& terminalIdentifier)
{
    const BenchTransaction sale(Kind::Sale);
    const std::string result = runOnce(terminalIdentifier, sale.request(), std::chrono::seconds(10));
    return BenchTransaction(succeeded(result) ? Kind::Sale : Kind::Information);
}

const char* BenchTransaction::request() const
{
    return m_kind == Kind::Sale ? "{\"transaction\": {\"action\": \"Sale\", \"amount\": \"12.50\"}}"
                                : "{\"transaction\": {\"action\": \"InformationService\"}}";
}

Bytes BenchTransaction::terminalReply(const SimMessage& request, const std::string& terminalIdentifier)
{
    if (request.type == "Cd")
        return testsupport::SimSaleReplies::saleReplyTo(request, terminalIdentifier);
    if (request.type == "Ci")
        return testsupport::SimTerminal::informationReplyTo(request, terminalIdentifier, "SIM-1", "10");
    return Bytes();
}

bool BenchTransaction::succeeded(const std::string& result)
{
    return !result.empty() && result.find("\"error\"") == std::string::npos;
}

std::string BenchTransaction::runOnce(const std::string& terminalIdentifier, const char* request,
                                      std::chrono::milliseconds deadline)
{
    const auto pending = std::make_shared<PendingResult>();
    zuva_reply_function reply = nullptr;
    void* replyHandle = nullptr;
    zuva_send_transaction(terminalIdentifier.c_str(), request, keepResult, new std::shared_ptr<PendingResult>(pending),
                          &reply, &replyHandle, releasePending);
    std::unique_lock<std::mutex> lock(pending->mutex);
    pending->arrived.wait_for(lock, deadline, [&] { return pending->done; });
    return pending->text;
}
