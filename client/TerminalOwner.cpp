#include "client/TerminalOwner.h"

#include "client/PreprocessJsonResult.h"
#include "client/TransactionHelpers.h"

#include <map>
#include <mutex>

namespace ect {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, TerminalOwner*> holders; // by terminal identifier
};

// Never destroyed: contexts let go of their steps also while the process exits.
Registry& registry()
{
    static Registry* const instance = new Registry;
    return *instance;
}

thread_local TerminalOwner* handled = nullptr;

std::string actionOf(const std::string& request)
{
    Json::Value document;
    if (!parseJson(request, document) || !document.isObject())
        return std::string();
    return readText(document["transaction"], "action");
}

// What the library takes while another transaction runs.
bool passesHolder(const std::string& action)
{
    return action == "MMIClose" || action == "CancelRetail";
}

bool showsOnDisplay(const std::string& action)
{
    return action.compare(0, 3, "MMI") == 0;
}

ECTError busy()
{
    return ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::TransactionAlreadyRunning);
}

} // namespace

TerminalOwner::TerminalOwner(std::string terminalId) : terminalId_(std::move(terminalId)) {}

std::shared_ptr<TerminalOwner> TerminalOwner::forNextStep(const std::string& terminalId)
{
    if (handled && handled->terminalId_ == terminalId)
        return handled->shared_from_this();
    return std::make_shared<TerminalOwner>(terminalId);
}

void TerminalOwner::stepStarted()
{
    std::lock_guard<std::mutex> lock(registry().mutex);
    ++steps_;
}

void TerminalOwner::stepEnded()
{
    Registry& all = registry();
    std::lock_guard<std::mutex> lock(all.mutex);
    if (--steps_ > 0)
        return;
    const auto holder = all.holders.find(terminalId_);
    if (holder != all.holders.end() && holder->second == this)
        all.holders.erase(holder);
}

boost::optional<ECTError> TerminalOwner::admit(const std::string& request)
{
    const std::string action = actionOf(request);
    Registry& all = registry();
    std::lock_guard<std::mutex> lock(all.mutex);
    // A later step: it goes out unless the host closed the display meanwhile,
    // also when the close took the terminal over.
    if (admitted_)
        return showsOnDisplay(action) ? stopped_ : boost::none;
    const auto found = all.holders.find(terminalId_);
    TerminalOwner* const holder = found == all.holders.end() ? nullptr : found->second;
    if (holder && passesHolder(action)) {
        if (action != "MMIClose")
            return boost::none;
        holder->stopped_ = ECTError(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::ResetTransaction);
    } else if (holder && !handedOverFromHere(*holder)) {
        return busy();
    }
    all.holders[terminalId_] = this;
    admitted_ = true;
    return boost::none;
}

// The host sends from the holder's callback, and the step being handled is
// the holder's last: nothing of the flow is left to collide with.
bool TerminalOwner::handedOverFromHere(const TerminalOwner& holder) const
{
    return handled == &holder && holder.steps_ == 1;
}

void TerminalOwner::noteResult(const std::string& text)
{
    Json::Value document;
    boost::optional<ECTError> error;
    if (PreprocessJsonResult(std::string(), text, document, error) || !error ||
        error->causeCode() != ECTErrorCauseCode::TransactionAlreadyRunning)
        return;
    std::lock_guard<std::mutex> lock(registry().mutex);
    if (!stopped_)
        stopped_ = busy();
}

TerminalOwner::Handling::Handling(TerminalOwner* owner) : previous_(handled)
{
    handled = owner;
}

TerminalOwner::Handling::~Handling()
{
    handled = previous_;
}

} // namespace ect
