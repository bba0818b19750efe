#include "client/ClientEndToEnd.h"
#include "client/FakeSend.h"
#include "client/ServiceInformationTransaction.h"
#include "client/TerminalOwner.h"
#include "client/ZUVATerminalImpl.h"
#include "client/mmi/MMICloseTransaction.h"
#include "client/mmi/MMIFlowTestSupport.h"
#include "client/mmi/MMIOpenTransaction.h"
#include "client/mmi/MMITransaction.h"
#include "client/mmi/ScreenParameter.h"
#include "client/mmi/ShowMessage.h"
#include "client/mmi/VerifyPin.h"
#include "client/mmi/VerifyPinFlow.h"
#include "client/transactions/CancelRetailTransaction.h"
#include "client/transactions/LastTransactionStatusTransaction.h"
#include "client/transactions/RequestCardInfoTransaction.h"
#include "client/transactions/SaleTransaction.h"
#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"
#include "engine/service/oxazuva.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

using namespace clienttest;
using testsupport::SimMessage;
using testsupport::SimTerminal;

namespace {

using Outcome = std::function<void(const std::string&)>;

// A client flow, the requests it writes to the terminal ("Ck, Cm 28, ..."),
// those written when its callback runs, what its host hears, and whether it
// leaves the display open.
struct Flow {
    const char* name;
    std::function<void(ect::ZUVATerminal&, Outcome)> send;
    const char* requests;
    const char* untilCallback;
    const char* outcome;
    bool keptOpen = false;
};

// How the host sends its own information request while the flow runs: from
// the flow's callback and once right after it; again after each refusal
// until it is taken; all along from a thread of its own, through another
// object of the same terminal; from the result of the display close it
// sends from the flow's callback (as it would before its next sale). Or it
// sends nothing from the callback: it waits for the result on a thread of
// its own and then sends at once (closing a display left open first), or
// cancels the retail transaction at once.
enum class Host { AtOnce, Resending, OtherThread, AfterItsClose, Sequential, Cancelling };

void sendPinFlow(ect::ZUVATerminal& terminal, bool keepMMIOpen, bool followUp, Outcome outcome)
{
    ect::VerifyPinFlow flow(mmitest::Pin, "fr", 30, 1, keepMMIOpen,
                            [outcome](const ect::VerifyPinResult& result) { outcome(mmitest::summary(result)); });
    if (followUp)
        flow.setSuccessNextMessageData(5, 40, boost::none);
    terminal.send(std::move(flow));
}

const Flow flows[] = {
    {"PIN flow", [](ect::ZUVATerminal& t, Outcome o) { sendPinFlow(t, false, false, o); },
     "Ck, Cm 28, Cm 19, Cl", "Ck, Cm 28, Cm 19", "ok left=1"},
    {"PIN flow with follow-up", [](ect::ZUVATerminal& t, Outcome o) { sendPinFlow(t, false, true, o); },
     "Ck, Cm 28, Cm 19, Cm 40, Cl", "Ck, Cm 28, Cm 19", "ok left=1"},
    {"PIN flow kept open", [](ect::ZUVATerminal& t, Outcome o) { sendPinFlow(t, true, true, o); },
     "Ck, Cm 28, Cm 19, Cm 40", "Ck, Cm 28, Cm 19", "ok left=1", true},
    {"single PIN check",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::VerifyPin(mmitest::Pin, 30, "fr", 30,
                               [o](const ect::VerifyPinResult& result) { o(mmitest::summary(result)); }));
     },
     "Ck, Cm 30", "Ck, Cm 30", "ok left=1"},
    {"message",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::ShowMessage(40, "de", 5,
                                 [o](const ect::MMITransactionResult& result) { o(errorText(result.error())); }));
     },
     "Ck, Cm 40", "Ck, Cm 40", "ok"},
    {"sale",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"), [o](const ect::SaleResult& result) {
             o(errorText(result.error()) + " " + result.clientTicket());
         }));
     },
     "Cd, Cw", "Cd, Cw", "ok TICKET\f"},
    {"last transaction",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::LastTransactionStatusTransaction(
             [o](const ect::LastTransactionResult& result) { o(errorText(result.error()) + " " + result.clientTicket()); }));
     },
     "Ce, Cw", "Ce, Cw", "ok TICKET\f"},
    {"card recognition",
     [](ect::ZUVATerminal& t, Outcome o) {
         t.send(ect::RequestCardInfoTransaction(ect::CardInfoOption::CardRecognitionOnly, [o](const ect::RequestCardInfoResult& result) {
             o(errorText(result.error()));
         }));
     },
     "Ch", "Ch", "ok"},
    // Its question sends on the same terminal, while the sale runs: refused.
    {"sale with delivery question",
     [](ect::ZUVATerminal& t, Outcome o) {
         auto asked = std::make_shared<std::string>();
         t.send(ect::SaleWithDeliveryConfirmationTransaction(
             ect::Amount("12.50"),
             [o, asked](const ect::SaleResult& result) {
                 o(errorText(result.error()) + " " + result.clientTicket() + " asked " + *asked);
             },
             [&t, asked](const ect::SaleResult&) {
                 t.send(ect::ServiceInformationTransaction(
                     [asked](const ect::ServiceInformationResult& result) { *asked = errorText(result.error()); }));
                 return ProductDeliveryAccepted;
             }));
     },
     "Cd, RR, Cw", "Cd, RR, Cw", "ok TICKET\f asked 1/14"},
};

constexpr int Rounds = 12;

std::size_t countOf(const std::string& requests)
{
    return std::count(requests.begin(), requests.end(), ',') + 1u;
}

// A host's own two-step flow: a display open whose result starts a step
// that throws before anything is sent.
class ThrowingStep : public ect::Transaction {
public:
    std::unique_ptr<ect::Transaction> move() override { return std::make_unique<ThrowingStep>(); }
    std::string beginTransaction(ect::TransactionContext&) override { throw std::runtime_error("no request"); }
    bool endTransaction(const std::string&, std::function<void(const std::string&)>) override { return true; }
};

// A host's own flow: a display open whose result starts the steps given.
class OpenThen : public ect::Transaction {
public:
    using Steps = std::function<void(ect::TerminalContext&)>;

    explicit OpenThen(Steps steps) : steps_(std::move(steps)) {}
    std::unique_ptr<ect::Transaction> move() override { return std::make_unique<OpenThen>(std::move(steps_)); }
    std::string beginTransaction(ect::TransactionContext& context) override
    {
        terminal_ = context.terminalContext().lock();
        return R"({"transaction": {"action": "MMIOpen"}})";
    }
    bool endTransaction(const std::string&, std::function<void(const std::string&)>) override
    {
        steps_(*terminal_);
        return true;
    }

private:
    Steps steps_;
    std::shared_ptr<ect::TerminalContext> terminal_;
};

// A step whose request the library refuses before sending it.
class UnknownAction : public ect::Transaction {
public:
    std::unique_ptr<ect::Transaction> move() override { return std::make_unique<UnknownAction>(); }
    std::string beginTransaction(ect::TransactionContext&) override
    {
        return R"({"transaction": {"action": "NoSuchAction"}})";
    }
    bool endTransaction(const std::string&, std::function<void(const std::string&)>) override { return true; }
};

// A host beside the client's flows on one simulated terminal that answers
// everything at once.
class HostBesideFlows : public ClientEndToEnd {
protected:
    void SetUp() override
    {
        testsupport::SimSaleReplies::script(sim, TerminalId);
        testsupport::SimOperationReplies::answerAll(sim);
        answerInformation(sim, false);
        ClientEndToEnd::SetUp();
    }

    // Sends the host's information request through that terminal object; its
    // result text reaches hostResults, and also when given.
    void sendHostRequest(ect::ZUVATerminal& via, Outcome also = nullptr)
    {
        via.send(ect::ServiceInformationTransaction(
            [done = hostResults.callback(), also](const ect::ServiceInformationResult& result) {
                done(errorText(result.error()));
                if (also)
                    also(errorText(result.error()));
            }));
    }

    // Sends one request, waits for its result and tells whether the terminal took it.
    bool hostRequestTaken(ect::ZUVATerminal& via)
    {
        Results<std::string> result;
        sendHostRequest(via, result.callback());
        return result.waitFor(1) && result.first() == "ok";
    }

    // The requests other than the host's information requests that the
    // terminal saw from that one on.
    std::vector<std::string> flowRequestsSince(std::size_t first) const
    {
        std::vector<std::string> described;
        const std::vector<SimMessage> all = sim.requests();
        for (std::size_t index = first; index < all.size(); ++index)
            if (all[index].type != "Ci")
                described.push_back(testsupport::SimOperationReplies::describe(all[index]));
        return described;
    }

    // Holds back the reply to the first request so described ("Cm 19") and
    // to each cancellation, until released; the rest are answered as before.
    void holdReplies(const std::string& described)
    {
        const std::string type = described.substr(0, 2);
        sim.on(type, [this, described, answer = scripted(type)](const SimMessage& request) {
            const SimTerminal::Reply reply = answer(request);
            std::lock_guard<std::mutex> lock(heldMutex);
            if (testsupport::SimOperationReplies::describe(request) != described || flowReply)
                return reply;
            flowReply = reply;
            return SimTerminal::silence();
        });
        sim.on("Co", [this](const SimMessage& request) {
            std::lock_guard<std::mutex> lock(heldMutex);
            cancellationReply = SimTerminal::answer(SimTerminal::replyTo(request));
            return SimTerminal::silence();
        });
    }

    bool held(const boost::optional<SimTerminal::Reply>& reply)
    {
        return testsupport::waitUntil([&] {
            std::lock_guard<std::mutex> lock(heldMutex);
            return bool(reply);
        });
    }

    void release(const boost::optional<SimTerminal::Reply>& reply)
    {
        std::lock_guard<std::mutex> lock(heldMutex);
        for (const auto& write : reply->writes)
            sim.send(write);
    }

    static SimTerminal::Responder scripted(const std::string& type)
    {
        if (type == "Cm")
            return testsupport::SimOperationReplies::pinEntries({});
        if (type == "Cd")
            return [](const SimMessage& request) {
                return SimTerminal::answer(testsupport::SimSaleReplies::saleReplyTo(request, TerminalId));
            };
        if (type == "Cw")
            return [](const SimMessage& request) {
                return SimTerminal::answer(testsupport::SimOperationReplies::ticketReplyTo(
                    request, testsupport::SimOperationReplies::Ticket{"TICKET\x0C"}));
            };
        return [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request)); };
    }

    Results<std::string> hostResults;
    std::mutex heldMutex;
    boost::optional<SimTerminal::Reply> flowReply;
    boost::optional<SimTerminal::Reply> cancellationReply;
};

bool stepsAfterCallback(const Flow& flow)
{
    return std::strcmp(flow.requests, flow.untilCallback) != 0;
}

class FlowOwnership : public HostBesideFlows, public ::testing::WithParamInterface<std::tuple<int, Host>> {
protected:
    // One round: the flow, the host's requests, then one the terminal takes
    // (so the flow has ended).
    void runRound(const Flow& flow, Host host)
    {
        const std::size_t requestsBefore = sim.requests().size();
        hostResults = Results<std::string>();
        Results<std::string> outcome;
        Results<std::string> fromCallback;
        std::atomic<bool> flowCalledBack{false};
        // Wakes the host's thread at once, as a promise set in the callback does.
        std::promise<void> result;
        std::future<void> woken = result.get_future();
        flow.send(*terminal, [&, done = outcome.callback(), sent = fromCallback.callback()](const std::string& text) {
            done(text);
            result.set_value();
            sendFromCallback(host, sent);
            flowCalledBack = true;
        });
        // Started once the flow has the terminal, so that the flow is not the one refused.
        std::thread other;
        if (host == Host::OtherThread)
            other = std::thread([&] {
                while (!flowCalledBack)
                    hostRequestTaken(*sameTerminal);
            });
        ASSERT_EQ(std::future_status::ready, woken.wait_for(std::chrono::seconds(20)));
        sendOnItsThread(flow, host);
        if (other.joinable())
            other.join();
        const bool sentFromCallback = host != Host::Sequential && host != Host::Cancelling;
        ASSERT_TRUE(!sentFromCallback || fromCallback.waitFor(1));
        ASSERT_TRUE(testsupport::waitUntil([&] { return hostRequestTaken(*terminal); }));

        EXPECT_EQ(flow.outcome, outcome.first());
        // Taken from the last callback unless another host request came first.
        if (host == Host::AfterItsClose || (stepsAfterCallback(flow) && sentFromCallback)) {
            EXPECT_EQ(stepsAfterCallback(flow) && host != Host::AfterItsClose ? "1/14" : "ok", fromCallback.first());
        }
        const std::vector<std::string> results = hostResults.all();
        const auto taken = std::count(results.begin(), results.end(), "ok");
        const auto refused = std::count(results.begin(), results.end(), "1/14");
        EXPECT_EQ(results.size(), static_cast<std::size_t>(taken + refused)) << mmitest::joined(results);
        expectRequests(flow, host, requestsBefore, taken);
        EXPECT_EQ(1u, outcome.count());
    }

    void sendFromCallback(Host host, const Outcome& sent)
    {
        if (host == Host::AfterItsClose)
            terminal->send(ect::MMICloseTransaction([this, sent](const ect::MMITransactionResult& closed) {
                EXPECT_EQ("ok", errorText(closed.error()));
                sendHostRequest(*terminal, sent);
            }));
        else if (host != Host::Sequential && host != Host::Cancelling)
            sendHostRequest(*terminal, sent);
    }

    // What the host does on its own thread once it has the flow's result.
    void sendOnItsThread(const Flow& flow, Host host)
    {
        if (host == Host::AtOnce)
            sendHostRequest(*terminal);
        if (host == Host::Resending)
            while (!hostRequestTaken(*terminal)) {
            }
        if (host == Host::Sequential) {
            if (flow.keptOpen) {
                EXPECT_EQ("ok", (resultOf<ect::MMICloseTransaction, ect::MMITransactionResult>()));
            }
            auto next = std::make_shared<std::promise<std::string>>();
            std::future<std::string> text = next->get_future();
            sendHostRequest(*terminal, [next](const std::string& result) { next->set_value(result); });
            ASSERT_EQ(std::future_status::ready, text.wait_for(std::chrono::seconds(20)));
            const std::string taken = text.get();
            if (flow.keptOpen || !stepsAfterCallback(flow)) {
                EXPECT_EQ("ok", taken);
            }
        }
        if (host == Host::Cancelling) {
            EXPECT_EQ("ok", (resultOf<ect::CancelRetailTransaction, ect::CancelRetailResult>()));
        }
    }

    template <class T, class R>
    std::string resultOf()
    {
        auto result = std::make_shared<std::promise<std::string>>();
        std::future<std::string> text = result->get_future();
        terminal->send(T([result](const R& r) { result->set_value(errorText(r.error())); }));
        return text.wait_for(std::chrono::seconds(20)) == std::future_status::ready ? text.get() : "none";
    }

    // Every request the terminal saw was the flow's, the host's close or
    // cancellation, or an information request that was taken, and none of
    // those came while the flow ran.
    void expectRequests(const Flow& flow, Host host, std::size_t requestsBefore, std::size_t taken)
    {
        std::vector<std::string> expected{flow.requests};
        if (host == Host::AfterItsClose)
            expected = {std::string(flow.untilCallback) + ", Cl"};
        if (host == Host::Sequential && flow.keptOpen)
            expected = {std::string(flow.untilCallback) + ", Cl", std::string(flow.requests) + ", Cl"};
        const std::size_t least = countOf(expected.front()) + (host == Host::Cancelling);
        EXPECT_TRUE(testsupport::waitUntil([&] { return flowRequestsSince(requestsBefore).size() >= least; },
                                           std::chrono::milliseconds(2000)));
        std::vector<std::string> seen = flowRequestsSince(requestsBefore);
        const auto cancellations = std::count(seen.begin(), seen.end(), "Co");
        seen.erase(std::remove(seen.begin(), seen.end(), "Co"), seen.end());
        EXPECT_EQ(host == Host::Cancelling ? 1 : 0, cancellations);
        EXPECT_NE(expected.end(), std::find(expected.begin(), expected.end(), mmitest::joined(seen)))
            << mmitest::joined(seen);
        EXPECT_EQ(requestsBefore + seen.size() + cancellations + taken, sim.requests().size());
        const std::vector<SimMessage> all = sim.requests();
        const auto lastOfFlow = std::find_if(all.rbegin(), all.rend(), [](const SimMessage& m) {
            return m.type != "Ci" && m.type != "Co";
        });
        EXPECT_TRUE(std::none_of(all.begin() + requestsBefore, lastOfFlow.base(),
                                 [](const SimMessage& m) { return m.type == "Ci"; }));
    }

    const std::shared_ptr<ect::ZUVATerminal> sameTerminal =
        std::make_shared<ect::ZUVATerminalImpl>(TerminalId, "", "", "", "", "");
};

} // namespace

// A host that sends while a flow runs never has a request written to the
// terminal and then failed, never loses a step of the flow nor sees one
// after its own close, and never makes a sale lose its ticket.
TEST_P(FlowOwnership, HostRequestsNeitherCollideWithNorBreakTheFlow)
{
    const Flow& flow = flows[std::get<0>(GetParam())];
    for (int round = 0; round < Rounds && !HasFailure(); ++round) {
        SCOPED_TRACE(std::string(flow.name) + ", round " + std::to_string(round));
        runRound(flow, std::get<1>(GetParam()));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFlow, FlowOwnership,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(flows))),
                                            ::testing::Values(Host::AtOnce, Host::Resending, Host::OtherThread,
                                                              Host::AfterItsClose, Host::Sequential,
                                                              Host::Cancelling)));

// A retail cancellation sent through the C interface beside the client is
// taken during the PIN entry and still runs when the closing screen is due:
// the library refuses that step as busy, and the flow sends nothing more, so
// no close of its own ends the cancellation.
TEST_F(HostBesideFlows, FlowWhoseStepIsRefusedAsBusySendsNothingMore)
{
    std::mutex mutex;
    std::vector<SimMessage> held;
    const auto hold = [&](const SimMessage& request) {
        std::lock_guard<std::mutex> lock(mutex);
        held.push_back(request);
        return SimTerminal::silence();
    };
    const SimTerminal::Responder screens = testsupport::SimOperationReplies::pinEntries({});
    sim.on("Cm", [&](const SimMessage& request) {
        return request.find("BF8107") ? hold(request) : screens(request);
    });
    sim.on("Co", hold);
    const auto heldCount = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return held.size();
    };
    Results<std::string> pin;
    Results<std::string> cancelled;
    sendPinFlow(*terminal, false, true, pin.callback());
    ASSERT_TRUE(testsupport::waitUntil([&] { return heldCount() == 1; }));
    const auto besideTheClient = std::make_shared<ect::TerminalContext>(TerminalId, [](ect::Transaction&&) {});
    ect::TransactionContext::create(besideTheClient, &zuva_send_transaction)
        ->startTransaction(ect::CancelRetailTransaction(
            [done = cancelled.callback()](const ect::CancelRetailResult& result) { done(errorText(result.error())); }));
    ASSERT_TRUE(testsupport::waitUntil([&] { return heldCount() == 2; }));

    sim.send(testsupport::SimOperationReplies::displayReplyTo(held.at(0), "00"));
    ASSERT_TRUE(pin.waitFor(1));
    EXPECT_EQ("ok left=1", pin.first());
    sim.send(SimTerminal::replyTo(held.at(1)));
    ASSERT_TRUE(cancelled.waitFor(1));
    EXPECT_EQ("ok", cancelled.first());
    ASSERT_TRUE(testsupport::waitUntil([&] { return hostRequestTaken(*terminal); }));
    EXPECT_EQ("Ck, Cm 28, Co", mmitest::joined(flowRequestsSince(0)));
}

// A flow's request that a host's cancellation meets, and the requests the
// terminal then sees.
struct Cancelled {
    std::size_t flow;
    const char* meets;
    const char* requests;
};

const Cancelled cancellations[] = {
    {1, "Cm 28", "Ck, Cm 28, Co, Cm 19, Cm 40, Cl"},
    {1, "Cm 19", "Ck, Cm 28, Cm 19, Co, Cm 40, Cl"},
    {1, "Cm 40", "Ck, Cm 28, Cm 19, Cm 40, Co, Cl"},
    {4, "Ck", "Ck, Co, Cm 40"},
    {5, "Cd", "Cd, Co, Cw"},
};

class CancellationDuringAFlow : public HostBesideFlows, public ::testing::WithParamInterface<Cancelled> {};

// The host cancels while one of the flow's requests runs, and that request's
// reply comes while the cancellation still runs: the flow's next step waits
// for the cancellation and then goes out, and the cancellation gets the
// terminal's reply, not the end a close of the flow would give it.
TEST_P(CancellationDuringAFlow, NeitherCostsTheOtherAnything)
{
    const Flow& flow = flows[GetParam().flow];
    holdReplies(GetParam().meets);
    Results<std::string> outcome;
    Results<std::string> cancelled;
    flow.send(*terminal, outcome.callback());
    ASSERT_TRUE(held(flowReply));
    terminal->send(ect::CancelRetailTransaction(
        [done = cancelled.callback()](const ect::CancelRetailResult& result) { done(errorText(result.error())); }));
    ASSERT_TRUE(held(cancellationReply));
    const std::size_t seen = sim.requests().size();
    release(flowReply);
    // Time for the flow to reach its next step, which must wait.
    EXPECT_FALSE(testsupport::waitUntil([&] { return sim.requests().size() > seen; }, std::chrono::milliseconds(300)));
    release(cancellationReply);

    ASSERT_TRUE(cancelled.waitFor(1));
    EXPECT_EQ("ok", cancelled.first());
    ASSERT_TRUE(outcome.waitFor(1));
    EXPECT_EQ(flow.outcome, outcome.first());
    ASSERT_TRUE(testsupport::waitUntil([&] { return hostRequestTaken(*terminal); }));
    EXPECT_EQ(GetParam().requests, mmitest::joined(flowRequestsSince(0)));
}

INSTANTIATE_TEST_SUITE_P(EveryStep, CancellationDuringAFlow, ::testing::ValuesIn(cancellations));

// The host cancels from inside the delivery question: the cancellation
// reaches the terminal before the answer, which still goes to the terminal for
// the sale set aside, and the sale ends with the terminal's reply, whether the
// question comes once the sale's send has returned or while the sale is still
// being handed to the library.
TEST_F(HostBesideFlows, CancellationFromTheDeliveryQuestionEndsTheSaleInEitherOrder)
{
    for (const bool insideTheHandOver : {false, true}) {
        SCOPED_TRACE(insideTheHandOver ? "inside the hand-over" : "after the send");
        const std::size_t before = sim.requests().size();
        std::atomic<bool> returned{false};
        Results<std::string> sale;
        Results<std::string> cancelled;
        const ect::DeliveryCallback cancelling = [&, done = cancelled.callback()](const ect::SaleResult&) {
            EXPECT_TRUE(insideTheHandOver || testsupport::waitUntil([&] { return returned.load(); }));
            terminal->send(ect::CancelRetailTransaction(
                [done](const ect::CancelRetailResult& result) { done(errorText(result.error())); }));
            return ProductDeliveryAccepted;
        };
        // Inside the hand-over, the send returns once the terminal has the cancellation or the answer.
        const ect::TransactionContext::SendFunction send =
            [&](const char* terminalId, const char* request, ect::TransactionContext::ResultCallback result,
                void* userData, ect::TransactionContext::ReplyFunction* replyFunction, void** replyHandle,
                ect::TransactionContext::ReleaseFunction release) {
                zuva_send_transaction(terminalId, request, result, userData, replyFunction, replyHandle, release);
                EXPECT_TRUE(!insideTheHandOver ||
                            testsupport::waitUntil([&] { return flowRequestsSince(before).size() >= 2; }));
            };
        const auto saleTerminal = std::make_shared<ect::TerminalContext>(TerminalId, [](ect::Transaction&&) {});
        ect::TransactionContext::create(saleTerminal, send, std::make_shared<ect::TerminalOwner>(TerminalId))
            ->startTransaction(ect::SaleWithDeliveryConfirmationTransaction(
                ect::Amount("12.50"),
                [done = sale.callback()](const ect::SaleResult& result) { done(errorText(result.error())); },
                cancelling));
        returned = true;

        ASSERT_TRUE(sale.waitFor(1));
        EXPECT_EQ("ok", sale.first());
        ASSERT_TRUE(cancelled.waitFor(1));
        EXPECT_EQ("ok", cancelled.first());
        EXPECT_EQ("Cd, Co, RR", mmitest::joined(flowRequestsSince(before)));
    }
}

// Flows that throw, in a host's callback or in a step of their own, let go of
// the terminal all the same.
TEST_F(HostBesideFlows, ThrowingFlowsFreeTheTerminal)
{
    terminal->send(OpenThen([](ect::TerminalContext& t) { t.makeTransaction(ThrowingStep()); }));
    ASSERT_TRUE(sim.waitForRequests(1));
    EXPECT_TRUE(testsupport::waitUntil([&] { return hostRequestTaken(*terminal); }, std::chrono::milliseconds(3000)));
    sendPinFlow(*terminal, false, true, [](const std::string&) { throw std::runtime_error("host failed"); });
    EXPECT_TRUE(testsupport::waitUntil([&] { return hostRequestTaken(*terminal); }, std::chrono::milliseconds(3000)));
    EXPECT_EQ("Ck, Ck, Cm 28, Cm 19, Cm 40, Cl", mmitest::joined(flowRequestsSince(0)));
}

// A host's own flow, the request during which the host closes the display
// and whether the terminal still answers it, the requests the terminal sees,
// the outcome its callback reports, if any, and the type of request the
// terminal rejects.
struct OwnFlow {
    const char* name;
    std::function<void(ect::TerminalContext&, Outcome)> steps;
    const char* closedDuring;
    bool answeredAfterTheClose;
    const char* requests;
    const char* outcome;
    const char* rejected = nullptr;
};

void sendSale(ect::TerminalContext& terminal, Outcome outcome)
{
    terminal.makeTransaction(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"), [outcome](const ect::SaleResult& result) {
        outcome(errorText(result.error()) + " " + result.clientTicket());
    }));
}

// Sends the host's information request through its terminal object, as from
// a callback that heard of the text, and reports both.
void thenHostRequest(const std::string& terminalId, const std::string& text, const Outcome& outcome)
{
    ect::getTerminal(terminalId)->send(ect::ServiceInformationTransaction(
        [text, outcome](const ect::ServiceInformationResult& result) {
            outcome(text + ", then " + errorText(result.error()));
        }));
}

const OwnFlow ownFlows[] = {
    // A step sent again after move() sends nothing and ends nothing: the
    // terminal is free as soon as the other step's callback runs.
    {"spent step",
     [](ect::TerminalContext& t, Outcome o) {
         ect::MMIOpenTransaction step([id = t.getTerminalId(), o](const ect::MMITransactionResult& result) {
             thenHostRequest(id, errorText(result.error()), o);
         });
         t.makeTransaction(std::move(step));
         t.makeTransaction(std::move(step));
     },
     nullptr, false, "Ck, Ck", "ok, then ok"},
    // The step refused at once is handled inside the open's handling; the
    // step after it is still the flow's.
    {"step after a refused one",
     [](ect::TerminalContext& t, Outcome) {
         t.makeTransaction(UnknownAction());
         t.makeTransaction(ect::MMITransaction(ect::ScreenParameter::make(40, "de", 5), nullptr));
     },
     nullptr, false, "Ck, Cm 40", ""},
    // The host's close ends the flow's display steps, not its sale and ticket.
    {"sale after the host's close", sendSale, "Ck", false, "Ck, Cl, Cd, Cw", "ok TICKET\f"},
    // The close waits for the ticket request, which shows nothing and which it would end.
    {"close during the ticket request", sendSale, "Cw", true, "Ck, Cd, Cw, Cl", "ok TICKET\f"},
    // A last step that fails lets go before its callback: the host's request from it is taken.
    {"declined sale",
     [](ect::TerminalContext& t, Outcome o) {
         t.makeTransaction(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"),
                                                [id = t.getTerminalId(), o](const ect::SaleResult& result) {
                                                    thenHostRequest(id, errorText(result.error()), o);
                                                }));
     },
     nullptr, false, "Ck, Cd", "1/20 rej=05, then ok", "Cd"},
    {"message whose open is rejected",
     [](ect::TerminalContext& t, Outcome o) {
         t.makeTransaction(
             ect::ShowMessage(40, "de", 5, [id = t.getTerminalId(), o](const ect::MMITransactionResult& result) {
                 thenHostRequest(id, errorText(result.error()), o);
             }));
     },
     nullptr, false, "Ck, Ck", "1/20 rej=05, then ok", "Ck"},
    {"PIN check whose open is rejected",
     [](ect::TerminalContext& t, Outcome o) {
         t.makeTransaction(ect::VerifyPin(mmitest::Pin, 30, "fr", 30,
                                          [id = t.getTerminalId(), o](const ect::VerifyPinResult& result) {
                                              thenHostRequest(id, mmitest::summary(result), o);
                                          }));
     },
     nullptr, false, "Ck, Ck", "1/20 rej=05 left=0, then ok", "Ck"},
};

class HostOwnFlow : public HostBesideFlows, public ::testing::WithParamInterface<OwnFlow> {};

// A host's own flow keeps the terminal for its steps and lets go of it at its end.
TEST_P(HostOwnFlow, KeepsTheTerminalForItsStepsOnly)
{
    const OwnFlow& flow = GetParam();
    if (flow.closedDuring)
        holdReplies(flow.closedDuring);
    if (flow.rejected)
        sim.on(flow.rejected,
               [](const SimMessage& r) { return SimTerminal::answer(SimTerminal::rejectionOf(r, "05")); });
    Results<std::string> outcome;
    terminal->send(OpenThen([&flow, done = outcome.callback()](ect::TerminalContext& t) { flow.steps(t, done); }));
    ASSERT_TRUE(sim.waitForRequests(1));
    if (flow.closedDuring) {
        ASSERT_TRUE(held(flowReply));
        const std::size_t seen = sim.requests().size();
        terminal->send(ect::MMICloseTransaction(nullptr));
        if (flow.answeredAfterTheClose) {
            // Time for the close to reach the terminal, which it must not before the answer.
            EXPECT_FALSE(testsupport::waitUntil([&] { return sim.requests().size() > seen; },
                                                std::chrono::milliseconds(300)));
            release(flowReply);
        }
    }
    if (*flow.outcome) {
        ASSERT_TRUE(outcome.waitFor(1));
        EXPECT_EQ(flow.outcome, outcome.first());
    }
    EXPECT_TRUE(testsupport::waitUntil([&] { return hostRequestTaken(*terminal); }, std::chrono::milliseconds(3000)));
    EXPECT_EQ(flow.requests, mmitest::joined(flowRequestsSince(0)));
}

INSTANTIATE_TEST_SUITE_P(EveryFlow, HostOwnFlow, ::testing::ValuesIn(ownFlows));

// A cancellation sent while a flow's request is being handed to the library
// reaches the library after it, so that the request is not refused as busy.
TEST(TerminalOwnerOrder, CancellationFollowsTheRequestBeingHandedOver)
{
    const auto terminal = std::make_shared<ect::TerminalContext>("ORDER", [](ect::Transaction&&) {});
    std::vector<std::string> reached;
    std::vector<std::pair<ect::TransactionContext::ReleaseFunction, void*>> held;
    std::function<void()> meanwhile;
    const ect::TransactionContext::SendFunction send =
        [&](const char*, const char* request, ect::TransactionContext::ResultCallback, void* userData,
            ect::TransactionContext::ReplyFunction*, void**, ect::TransactionContext::ReleaseFunction release) {
            if (meanwhile)
                std::exchange(meanwhile, nullptr)();
            reached.push_back(std::strstr(request, "CancelRetail") ? "Co" : "Ck");
            held.emplace_back(release, userData);
        };
    const auto sendWith = [&](ect::Transaction&& transaction) {
        ect::TransactionContext::create(terminal, send, std::make_shared<ect::TerminalOwner>("ORDER"))
            ->startTransaction(std::move(transaction));
    };
    meanwhile = [&] { sendWith(ect::CancelRetailTransaction(nullptr)); };
    sendWith(ect::MMIOpenTransaction(nullptr));
    EXPECT_EQ("Ck, Co", mmitest::joined(reached));
    for (const auto& each : held)
        each.first(each.second);
}

namespace {

// A sale and the host's requests on a terminal that answers only when told,
// each owned as a terminal object owns it.
class OwnedSteps : public ::testing::Test {
protected:
    void sendSale()
    {
        send.terminal->makeTransaction(
            ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.50"), [this](const ect::SaleResult& result) {
                sale = errorText(result.error()) + " " + result.clientTicket();
                if (afterSale)
                    afterSale();
            }));
    }
    void sendInformation()
    {
        send.terminal->makeTransaction(ect::ServiceInformationTransaction(
            [this](const ect::ServiceInformationResult& result) { information = errorText(result.error()); }));
    }
    std::string actions() const
    {
        std::vector<std::string> sent;
        for (std::size_t index = 0; index < send.count(); ++index)
            sent.push_back(send.request(index)["action"].asString());
        return mmitest::joined(sent);
    }

    static constexpr const char* Approved = R"({"result":{"authorizedAmount":12.5}})";
    static constexpr const char* Ticket = R"({"result":{"formattedTicket":"T1"}})";
    static constexpr const char* Done = R"({"result":{}})";

    clienttest::FakeSend send{true};
    std::string sale = "none";
    std::string information = "none";
    std::function<void()> afterSale;
};

} // namespace

// The host's close ends while its cancellation still runs and the sale's
// ticket request waits for it: the terminal is still the sale's.
TEST_F(OwnedSteps, NoStrangerTakesTheTerminalWhileAStepWaitsBehindACancellation)
{
    sendSale();
    send.terminal->makeTransaction(ect::CancelRetailTransaction([](const ect::CancelRetailResult&) {}));
    send.finish(0, Approved);
    send.terminal->makeTransaction(ect::MMICloseTransaction(nullptr));
    send.finish(2, Done);
    sendInformation();
    EXPECT_EQ("1/14", information);
    send.finish(1, Done);
    ASSERT_EQ(4u, send.count());
    send.finish(3, Ticket);
    EXPECT_EQ("ok T1", sale);
    EXPECT_EQ("Sale, CancelRetail, MMIClose, TicketGet", actions());
}

// A sale chained from a result's callback is a step of that result's owner,
// not a ticket request: a cancellation meanwhile goes out, and the sale still
// gets its ticket.
TEST_F(OwnedSteps, ACancellationOfASaleChainedFromACallbackGoesOut)
{
    send.terminal->makeTransaction(
        ect::ServiceInformationTransaction([this](const ect::ServiceInformationResult&) { sendSale(); }));
    send.finish(0, Done);
    std::string cancelled = "none";
    send.terminal->makeTransaction(ect::CancelRetailTransaction(
        [&](const ect::CancelRetailResult& result) { cancelled = errorText(result.error()); }));
    EXPECT_EQ("InformationService, Sale, CancelRetail", actions());
    send.finish(1, Approved);
    send.finish(2, Done);
    EXPECT_EQ("ok", cancelled);
    ASSERT_EQ(4u, send.count());
    send.finish(3, Ticket);
    EXPECT_EQ("ok T1", sale);
}

// The ticket request is refused at once inside the sale's result: the host
// thread that the sale's callback wakes, and waits for, is taken.
TEST_F(OwnedSteps, HostWokenByASaleWhoseTicketRequestIsRefusedAtOnceIsTaken)
{
    send.refuse("TicketGet", R"({"error":{"code":2,"causeCode":18}})");
    std::promise<void> woken;
    std::promise<void> sent;
    std::thread host([&, wake = woken.get_future()] {
        wake.wait();
        sendInformation();
        sent.set_value();
    });
    afterSale = [&, done = std::make_shared<std::future<void>>(sent.get_future())] {
        woken.set_value();
        EXPECT_EQ(std::future_status::ready, done->wait_for(std::chrono::seconds(20)));
    };
    sendSale();
    send.finish(0, Approved);
    host.join();
    EXPECT_EQ("ok ", sale);
    EXPECT_EQ("none", information);
    EXPECT_EQ("Sale, InformationService", actions());
}

// The ticket request that waited for a cancellation fails as it goes out:
// the cancellation still gets its result, the sale its outcome, and a later
// cancellation goes out.
TEST_F(OwnedSteps, AStepThatFailsToGoOutAfterACancellationFreesTheTerminal)
{
    sendSale();
    std::string cancelled = "none";
    send.terminal->makeTransaction(ect::CancelRetailTransaction(
        [&](const ect::CancelRetailResult& result) { cancelled = errorText(result.error()); }));
    send.finish(0, Approved);
    send.refuse("TicketGet", nullptr);
    send.finish(1, Done);
    EXPECT_EQ("ok", cancelled);
    EXPECT_EQ("ok ", sale);
    send.terminal->makeTransaction(ect::CancelRetailTransaction([](const ect::CancelRetailResult&) {}));
    EXPECT_EQ("Sale, CancelRetail, CancelRetail", actions());
}

// A close the host sends while the ticket request is still being handed to
// the library waits for the ticket too.
TEST_F(OwnedSteps, ACloseSentWhileTheTicketRequestIsHandedOverWaitsForTheTicket)
{
    // From a thread of the host's own: not a step of the sale.
    send.during("TicketGet", [this] {
        std::thread([this] { send.terminal->makeTransaction(ect::MMICloseTransaction(nullptr)); }).join();
    });
    sendSale();
    send.finish(0, Approved);
    EXPECT_EQ("Sale, TicketGet", actions());
    send.finish(1, Ticket);
    EXPECT_EQ("ok T1", sale);
    EXPECT_EQ("Sale, TicketGet, MMIClose", actions());
}

// A transaction that a result's callback starts on another terminal is that
// terminal's: the first one is free, the other one taken.
TEST_F(OwnedSteps, ATransactionStartedOnAnotherTerminalFromACallbackHoldsThatTerminal)
{
    clienttest::FakeSend other{true, "T2"};
    send.terminal->makeTransaction(ect::ServiceInformationTransaction([&](const ect::ServiceInformationResult&) {
        other.terminal->makeTransaction(ect::MMIOpenTransaction(nullptr));
    }));
    send.finish(0, Done);
    sendInformation();
    EXPECT_EQ("InformationService, InformationService", actions());
    std::string onOther = "none";
    other.terminal->makeTransaction(ect::ServiceInformationTransaction(
        [&](const ect::ServiceInformationResult& result) { onOther = errorText(result.error()); }));
    EXPECT_EQ("1/14", onOther);
    EXPECT_EQ(1u, other.count());
}
