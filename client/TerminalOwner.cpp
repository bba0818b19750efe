#include "client/TerminalOwner.h"

#include "client/Contained.h"
#include "client/PreprocessJsonResult.h"
#include "client/TransactionHelpers.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace ect {

namespace {

struct Waiting {
    std::shared_ptr<TerminalOwner> owner;
    TerminalOwner::Request request;
};

} // namespace

// What the client knows of one terminal.
struct TerminalState {
    TerminalOwner* holder = nullptr;
    int passing = 0; // the host's closes and cancellations not ended
    int handing = 0; // requests being handed to the library
    int fetching = 0; // later steps in flight that show nothing (a sale's ticket request), which a close would end
    std::vector<Waiting> afterPassing; // steps that would meet a close or cancellation
    std::vector<Waiting> afterHanding; // closes and cancellations behind requests being handed over or fetching

    bool idle() const
    {
        return !holder && !passing && !handing && !fetching && afterPassing.empty() && afterHanding.empty();
    }
};

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, TerminalState> terminals; // by terminal identifier, while in use
};

// Never destroyed: contexts let go of their steps also while the process exits.
Registry& registry()
{
    static Registry* const instance = new Registry;
    return *instance;
}

void forgetIfIdle(Registry& all, const std::string& terminalId)
{
    const auto found = all.terminals.find(terminalId);
    if (found != all.terminals.end() && found->second.idle())
        all.terminals.erase(found);
}

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

struct TerminalOwner::Verdict {
    enum class Kind { Send, Refuse, AfterPassing, AfterHanding } kind;
    boost::optional<ECTError> error;
};

// Requests released at once, with what becomes of each.
struct TerminalOwner::Due {
    std::vector<std::pair<Waiting, Verdict>> entries;
};

// The closes and cancellations that may go out now, counted as being handed over.
void TerminalOwner::addDueAfterHanding(TerminalState& terminal, Due& due)
{
    if (terminal.handing > 0 || terminal.fetching > 0)
        return;
    for (Waiting& waiting : std::exchange(terminal.afterHanding, {})) {
        waiting.owner->startHanding(terminal);
        due.entries.emplace_back(std::move(waiting), Verdict{Verdict::Kind::Send, boost::none});
    }
}

// On the thread that released them: one that fails strands none of the others.
void TerminalOwner::carryOutAll(const Due& due)
{
    for (const auto& entry : due.entries)
        contained("held request", [&] { entry.first.owner->carryOut(entry.second, entry.first.request); });
}

TerminalOwner::TerminalOwner(std::string terminalId) : terminalId_(std::move(terminalId)) {}

const std::string& TerminalOwner::terminalId() const
{
    return terminalId_;
}

void TerminalOwner::stepStarted()
{
    std::lock_guard<std::mutex> lock(registry().mutex);
    ++steps_;
}

void TerminalOwner::stepEnded()
{
    Due due;
    {
        Registry& all = registry();
        std::lock_guard<std::mutex> lock(all.mutex);
        if (--steps_ > 0)
            return;
        const auto found = all.terminals.find(terminalId_);
        if (found == all.terminals.end())
            return;
        TerminalState& terminal = found->second;
        if (terminal.holder == this)
            terminal.holder = nullptr;
        if (passes_ && --terminal.passing == 0) {
            // Decided under the same lock, so that nobody takes the terminal between.
            for (Waiting& waiting : std::exchange(terminal.afterPassing, {})) {
                const Verdict verdict = waiting.owner->admit(terminal, waiting.request.action, nullptr);
                due.entries.emplace_back(std::move(waiting), verdict);
            }
        }
        passes_ = false;
        if (std::exchange(fetches_, false))
            --terminal.fetching;
        addDueAfterHanding(terminal, due);
        forgetIfIdle(all, terminalId_);
    }
    carryOutAll(due);
}

void TerminalOwner::send(const std::string& request, std::function<void()> handOver,
                         std::function<void(const ECTError&)> refuse, const TerminalOwner* handled)
{
    Request held{actionOf(request), std::move(handOver), std::move(refuse)};
    Verdict verdict;
    {
        Registry& all = registry();
        std::lock_guard<std::mutex> lock(all.mutex);
        TerminalState& terminal = all.terminals[terminalId_];
        verdict = admit(terminal, held.action, handled);
        if (verdict.kind == Verdict::Kind::AfterPassing || verdict.kind == Verdict::Kind::AfterHanding) {
            auto& queue = verdict.kind == Verdict::Kind::AfterPassing ? terminal.afterPassing : terminal.afterHanding;
            queue.push_back(Waiting{shared_from_this(), std::move(held)});
            return;
        }
        forgetIfIdle(all, terminalId_);
    }
    carryOut(verdict, held);
}

void TerminalOwner::noteResult(const std::string& text)
{
    // Only an error can be the refusal: a result is left to its transaction to parse.
    if (text.find("\"error\"") == std::string::npos)
        return;
    Json::Value document;
    boost::optional<ECTError> error;
    if (PreprocessJsonResult(std::string(), text, document, error) || !error ||
        error->causeCode() != ECTErrorCauseCode::TransactionAlreadyRunning)
        return;
    std::lock_guard<std::mutex> lock(registry().mutex);
    if (!stopped_)
        stopped_ = busy();
}

// The verdicts are given under the registry's lock; a request sent counts
// as being handed over until carryOut has handed it.
TerminalOwner::Verdict TerminalOwner::admit(TerminalState& terminal, const std::string& action,
                                            const TerminalOwner* handled)
{
    if (admitted_)
        return admitLaterStep(terminal, action);
    if (passesHolder(action))
        return admitPassing(terminal, action, handled);
    // A flow's step may still wait behind a cancellation after the holder's close has ended.
    if (terminal.holder || terminal.passing > 0)
        return Verdict{Verdict::Kind::Refuse, busy()};
    return take(terminal);
}

TerminalOwner::Verdict TerminalOwner::admitLaterStep(TerminalState& terminal, const std::string& action)
{
    if (stopped_ && showsOnDisplay(action))
        return Verdict{Verdict::Kind::Refuse, stopped_};
    if (terminal.passing > 0)
        return Verdict{Verdict::Kind::AfterPassing, boost::none};
    if (terminal.holder && terminal.holder != this)
        return Verdict{Verdict::Kind::Refuse, busy()};
    // A close during the ticket request would end it and cost an approved sale
    // its ticket. Only that request waits for nothing: a longer step held so
    // (a sale chained from a callback) would keep a close out for good.
    if (action == "TicketGet" && !std::exchange(fetches_, true))
        ++terminal.fetching;
    return take(terminal);
}

TerminalOwner::Verdict TerminalOwner::admitPassing(TerminalState& terminal, const std::string& action,
                                                   const TerminalOwner* handled)
{
    admitted_ = true;
    passes_ = true;
    ++terminal.passing;
    if (action == "MMIClose") { // takes the terminal over
        if (terminal.holder)
            terminal.holder->stopped_ = ECTError(ECTErrorCode::Technical_Issue, ECTErrorCauseCode::ResetTransaction);
        terminal.holder = this;
    } else if (!terminal.holder) {
        terminal.holder = this;
    }
    // The library delivered the result this thread handles, so it has the
    // requests of that result's owner, whose steps go one after another.
    const int handingElsewhere = terminal.handing - (handled ? handled->handing_ : 0);
    if (handingElsewhere > 0 || terminal.fetching > 0)
        return Verdict{Verdict::Kind::AfterHanding, boost::none};
    startHanding(terminal);
    return Verdict{Verdict::Kind::Send, boost::none};
}

TerminalOwner::Verdict TerminalOwner::take(TerminalState& terminal)
{
    terminal.holder = this;
    admitted_ = true;
    startHanding(terminal);
    return Verdict{Verdict::Kind::Send, boost::none};
}

void TerminalOwner::startHanding(TerminalState& terminal)
{
    ++terminal.handing;
    ++handing_;
}

void TerminalOwner::carryOut(const Verdict& verdict, const Request& request)
{
    if (verdict.kind == Verdict::Kind::Refuse)
        return request.refuse(*verdict.error);
    try {
        request.handOver();
    } catch (...) {
        handedOver();
        throw;
    }
    handedOver();
}

// Closes and cancellations that waited go out once nothing is being handed over.
void TerminalOwner::handedOver()
{
    Due due;
    {
        Registry& all = registry();
        std::lock_guard<std::mutex> lock(all.mutex);
        TerminalState& terminal = all.terminals[terminalId_];
        --terminal.handing;
        --handing_;
        addDueAfterHanding(terminal, due);
        forgetIfIdle(all, terminalId_);
    }
    carryOutAll(due);
}

} // namespace ect
