#pragma once

#include "ErrorText.h"
#include "client/ZUVAService.h"
#include "client/ZUVAServiceListener.h"
#include "client/ZUVATerminal.h"
#include "simterminal/SimTerminal.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace clienttest {

// Collects what a callback receives; the callback may outlive the collector.
template <typename Result>
class Results {
public:
    std::function<void(const Result&)> callback()
    {
        return [state = state_](const Result& result) {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->results.push_back(result);
        };
    }
    std::vector<Result> all() const
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->results;
    }
    std::size_t count() const { return all().size(); }
    bool waitFor(std::size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000)) const
    {
        return testsupport::waitUntil([&] { return this->count() >= count; }, deadline);
    }
    // The first result; throws when there is none.
    Result first() const { return all().at(0); }

private:
    struct State {
        std::mutex mutex;
        std::vector<Result> results;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// A host's listener that records what it is told, one line per call:
// "started", "stopped", "error <code>/<cause>" (" +reason" when it has one),
// "connected <id>", "disconnected <id>", "event <id> <state>".
class RecordingListener : public ect::ZUVAServiceListener {
public:
    void onServiceStarted() override { record("started"); }
    void onServiceStopped() override { record("stopped"); }
    void onServiceError(ect::ECTError error) override
    {
        const auto cause = error.causeCode();
        record("error " + std::to_string(static_cast<int>(error.code())) + "/" +
               (cause ? std::to_string(static_cast<int>(*cause)) : "") +
               (error.extraInformationData().count("reason") ? " +reason" : ""));
    }
    void onTerminalEvent(ect::ECTTerminalEvent event) override
    {
        record("event " + event.terminalIdentifier + " " + event.synchronizationState);
    }
    void onTerminalConnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        record("connected " + terminal->terminalId());
    }
    void onTerminalDisconnected(std::shared_ptr<ect::ZUVATerminal> terminal) override
    {
        record("disconnected " + terminal->terminalId());
    }

    std::vector<std::string> calls() const { return calls_.all(); }
    std::size_t count(const std::string& call) const
    {
        const auto all = calls();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), call));
    }
    bool waitForCall(const std::string& call, std::size_t times = 1) const
    {
        return testsupport::waitUntil([&] { return count(call) >= times; });
    }
    // The connected terminal with that identifier, once there is one.
    static std::shared_ptr<ect::ZUVATerminal> waitForTerminal(const std::string& terminalId)
    {
        std::shared_ptr<ect::ZUVATerminal> found;
        testsupport::waitUntil([&] { return (found = ect::getTerminal(terminalId)) != nullptr; });
        return found;
    }

private:
    Results<std::string> calls_;
    const std::function<void(const std::string&)> record = calls_.callback();
};

// A host with a started TCP/IP client service and one simulated terminal
// connected to it as "TERM0001". Script the terminal with sim.on(...) in the
// test; answers to requests without script are never sent.
class ClientEndToEnd : public ::testing::Test {
protected:
    static constexpr const char* TerminalId = "TERM0001";

    void SetUp() override
    {
        port = testsupport::SimTerminal::freeLoopbackPort();
        ASSERT_NE(port, 0);
        service = ect::makeTcpIpZUVAService(port, listener);
        service->startService();
        ASSERT_TRUE(listener.waitForCall("started"));
        terminal = connect(sim, TerminalId);
        ASSERT_NE(terminal, nullptr);
    }

    void TearDown() override
    {
        if (service)
            service->stopService();
    }

    // Connects a simulated terminal that announces itself with the identifier
    // to the service on that port (by default, this test's service), with the
    // rest of its description from the advice.
    std::shared_ptr<ect::ZUVATerminal> connect(testsupport::SimTerminal& simulated, const std::string& terminalId,
                                               uint16_t to = 0, testsupport::SimAdvice advice = {})
    {
        const std::size_t before = listener.count("connected " + terminalId);
        if (!simulated.connectTo(to ? to : port))
            return nullptr;
        advice.terminalIdentifier = terminalId;
        simulated.sendAdvice(advice);
        if (!listener.waitForCall("connected " + terminalId, before + 1))
            return nullptr;
        return listener.waitForTerminal(terminalId);
    }

    // Sends the transaction that make builds around a callback and returns its first result.
    template <typename Result, typename Make>
    Result resultOf(Make make, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000))
    {
        Results<Result> results;
        terminal->send(make(results.callback()));
        EXPECT_TRUE(results.waitFor(1, deadline));
        return results.first();
    }

    // Scripts the information request ("Ci") with the cash-back capability on or off.
    static void answerInformation(testsupport::SimTerminal& simulated, bool cashback)
    {
        simulated.on("Ci", [cashback](const testsupport::SimMessage& request) {
            return testsupport::SimTerminal::answer(
                testsupport::SimTerminal::informationReplyTo(request, "TERM0001", "SIM-1", cashback ? "10" : "08"));
        });
    }

    uint16_t port = 0;
    RecordingListener listener;
    std::shared_ptr<ect::ZUVAService> service;
    testsupport::SimTerminal sim;
    std::shared_ptr<ect::ZUVATerminal> terminal;
};

} // namespace clienttest
