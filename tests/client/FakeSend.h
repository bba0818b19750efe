#pragma once

#include "client/TerminalContext.h"
#include "client/Transaction.h"
#include "client/ZUVATransactionContext.h"

#include <json/reader.h>
#include <json/value.h>

#include <deque>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace clienttest {

// Plays zuva_send_transaction for client transactions without a library:
// records every request and every answer to a question, and lets the test
// deliver results and release.
// Transactions reach it through terminal->makeTransaction(...), which runs
// each in a new ect::TransactionContext as a terminal "T1" (or the one named)
// does; owned, with the owner a terminal object gives it (a step of the
// result this thread handles, or else a new one). Thread-safe; nothing is
// delivered unless the test says so, but for the actions it refuses or fails.
class FakeSend {
public:
    using Context = ect::TransactionContext;

    explicit FakeSend(bool owned = false, std::string terminalId = "T1")
        : terminal(makeTerminal(std::move(terminalId))), owned_(owned)
    {
    }

    ~FakeSend()
    {
        for (std::size_t index = 0; index < count(); ++index)
            release(index);
    }

    const std::shared_ptr<ect::TerminalContext> terminal;

    // Requests of the action end at once with the text, as the library ends
    // one it cannot send; with no text, sending them throws.
    void refuse(const std::string& action, const char* text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        refusals_[action] = text;
    }
    // Runs once while the next request of the action is being handed over, after it is recorded.
    void during(const std::string& action, std::function<void()> meanwhile)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        during_[action] = std::move(meanwhile);
    }

    std::size_t count() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_.size();
    }
    // The object "transaction" of the request.
    Json::Value request(std::size_t index) const
    {
        Json::Value document;
        Json::Reader().parse(copyOf(index).request, document, false);
        return document["transaction"];
    }

    // Delivers a result text to the transaction, on the calling thread.
    void deliver(std::size_t index, const std::string& text)
    {
        const Sent sent = copyOf(index);
        if (!sent.released)
            sent.result(text.c_str(), sent.userData);
    }
    // Releases the transaction's user data, as the library does after its last result.
    void release(std::size_t index)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        Sent& sent = sent_.at(index);
        if (std::exchange(sent.released, true))
            return;
        lock.unlock();
        sent.release(sent.userData);
    }
    void finish(std::size_t index, const std::string& text)
    {
        deliver(index, text);
        release(index);
    }
    // The answers given to questions, in order, whatever transaction gave them.
    std::vector<std::string> answers() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return answers_;
    }

private:
    struct Sent {
        std::string request;
        Context::ResultCallback result;
        void* userData;
        Context::ReleaseFunction release;
        bool released;
    };

    std::shared_ptr<ect::TerminalContext> makeTerminal(std::string terminalId)
    {
        return std::make_shared<ect::TerminalContext>(terminalId, [this, terminalId](ect::Transaction&& transaction) {
            Context::create(
                terminal,
                [this](const char*, const char* request, Context::ResultCallback result, void* userData,
                       Context::ReplyFunction* replyFunction, void** replyHandle, Context::ReleaseFunction release) {
                    if (refusedAtOnce(request, result, userData, release))
                        return;
                    *replyFunction = &FakeSend::recordAnswer;
                    *replyHandle = this;
                    std::function<void()> meanwhile;
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        sent_.push_back(Sent{request, result, userData, release, false});
                        const auto found = during_.find(actionOf(request));
                        if (found != during_.end())
                            meanwhile = std::exchange(found->second, nullptr);
                    }
                    if (meanwhile)
                        meanwhile();
                },
                owned_ ? Context::ownerOfNextStep(terminalId) : nullptr)
                ->startTransaction(std::move(transaction));
        });
    }

    static std::string actionOf(const char* request)
    {
        Json::Value document;
        Json::Reader().parse(request, document, false);
        return document["transaction"]["action"].asString();
    }

    static void recordAnswer(const char* text, void* handle)
    {
        auto* self = static_cast<FakeSend*>(handle);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->answers_.push_back(text);
    }

    bool refusedAtOnce(const char* request, Context::ResultCallback result, void* userData,
                       Context::ReleaseFunction release)
    {
        const char* text = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto found = refusals_.find(actionOf(request));
            if (found == refusals_.end())
                return false;
            text = found->second;
        }
        if (!text)
            throw std::runtime_error("cannot send");
        result(text, userData);
        release(userData);
        return true;
    }

    Sent copyOf(std::size_t index) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_.at(index);
    }

    const bool owned_;
    mutable std::mutex mutex_;
    std::map<std::string, const char*> refusals_;
    std::map<std::string, std::function<void()>> during_;
    std::deque<Sent> sent_; // a deque: release reads an element outside the lock
    std::vector<std::string> answers_;
};

} // namespace clienttest
