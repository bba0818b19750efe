#include "CoreTestKit.h"

#include "simterminal/SimTerminal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

using namespace coretest;
using namespace std::chrono_literals;

namespace {

// The terminal side of one connection, on a thread of its own that plays the
// transport thread: answers each written message at random (reply, reply split
// or merged with the next one, silence, rejection, error incident, garbage,
// unreadable body or reply, stray message) and now and then asks to hang up.
class ScriptedPeer {
public:
    ScriptedPeer(Connection& link, unsigned seed) : m_link(link), m_random(seed), m_thread([this] { run(); }) {}

    ~ScriptedPeer()
    {
        m_stop = true;
        m_thread.join();
    }

    bool wantsToHangUp() const { return m_hangUp; }

private:
    void run()
    {
        size_t next = 0;
        while (!m_stop) {
            QByteArray write;
            if (m_link.out->waitForWrite(next, write, 5ms)) {
                ++next;
                react(sentMessage(write));
            }
        }
    }

    int roll(int range) { return int(m_random() % unsigned(range)); }

    void react(const testsupport::SimMessage& request)
    {
        // A sale is answered with the delivery question half of the time.
        const bool asks = request.type == "Cd" && roll(2) == 0;
        const std::string replyType = asks ? "CR" : "R" + request.type.substr(1, 1);
        const QByteArray reply = message(replyType, request.sequence);
        const int choice = roll(100);
        if (choice < 40) {
            deliver(m_held + reply);
            m_held.clear();
        } else if (choice < 50) {
            m_held += reply;
        } else if (choice < 64) {
            // silence: the transaction times out
        } else if (choice < 72) {
            deliver(rejection(request.sequence, "01"));
        } else if (choice < 77) {
            deliver(incidentReply(replyType, request.sequence, "1234"));
        } else if (choice < 83) {
            deliver(toQ(testsupport::SimTerminal::garbage()) + reply);
        } else if (choice < 87) {
            deliver(messageWithUnreadableBody());
        } else if (choice < 91) {
            deliver(message(replyType, request.sequence, {SimTlv::hex("DF02", "01")}));
        } else if (choice < 98) {
            deliver(message("Zz", request.sequence) + incidentReply("Rq", request.sequence, "9999"));
        } else {
            m_hangUp = true;
        }
    }

    // Whole, or cut into random pieces each read on its own.
    void deliver(const QByteArray& bytes)
    {
        if (roll(4) != 0) {
            m_link.receive(bytes);
            return;
        }
        for (int offset = 0; offset < bytes.size();) {
            const int piece = 1 + roll(60);
            m_link.receive(bytes.mid(offset, piece));
            offset += piece;
        }
    }

    Connection& m_link;
    std::mt19937 m_random;
    QByteArray m_held;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hangUp{false};
    std::thread m_thread;
};

struct Kind {
    oxa::TransactionMethod method;
    const char* requestType;
    const char* replyType;
};

TEST(EngineCoreStress, EveryAcceptedTransactionEndsWithExactlyOneResult)
{
    const int total = std::getenv("ZUVA_TEST_SLOW") ? 1000 : 2000;
    const unsigned seed = unsigned(std::random_device()());
    RecordProperty("seed", int(seed));
    std::mt19937 random(seed);
    const Kind kinds[] = {{oxa::Sequential, "Ct", "Rt"}, {oxa::Sequential, "Cd", "CR"}, {oxa::ImmediateQueue, "Cq", "Rq"},
                          {oxa::ImmediateClearQueue, "Cc", "Rc"}, {oxa::ImmediateNested, "Cn", "Rn"}};

    Results results;
    int counted = 0;
    int sessions = 0;
    int outstanding = 3;
    while (counted < total) {
        ++sessions;
        std::unique_ptr<Connection> link(new Connection());
        std::unique_ptr<ScriptedPeer> peer(new ScriptedPeer(*link, seed + unsigned(sessions)));
        const int quota = 100 + int(random() % 400);
        for (int sent = 0; sent < quota && counted < total && !peer->wantsToHangUp(); ++sent) {
            // At most three results outstanding, none behind a sale so that its
            // delivery question is answered undisturbed; a lost result stalls here.
            ASSERT_TRUE(results.waitForTotal(size_t(std::max(0, counted - outstanding)), 10000ms))
                << "results stalled at " << results.total() << " of " << counted << " (seed " << seed << ")";
            const Kind& kind = kinds[random() % 5];
            outstanding = kind.replyType == std::string("CR") ? 0 : 3;
            TransactionPlan plan;
            plan.method = kind.method;
            plan.requestType = kind.requestType;
            plan.replyType = kind.replyType;
            plan.timeout = std::chrono::milliseconds(2 + random() % 14);
            // Nested transactions carry no callback of their own, as the delivery
            // question starts them; they continue the transaction they take over.
            if (kind.method == oxa::ImmediateNested) {
                plan.sequence = 0;
                link->dispatcher->dispatch(makeTransaction(plan, nullptr));
            } else {
                plan.sequence = ++counted % 100;
                auto transaction = makeTransaction(plan, results.callbackFor(counted));
                if (plan.replyType == "CR")
                    transaction->response = std::make_shared<DeliveryQuestion>(link->dispatcher, plan.timeout);
                link->dispatcher->dispatch(std::move(transaction));
            }
            const int chance = int(random() % 100);
            if (chance < 2)
                link->dispatcher->resetTransaction();
            else if (chance < 3)
                link->dispatcher->reportTransactionError(
                    ect::ECTError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::NetworkError));
        }
        peer.reset();
        link.reset();
    }

    ASSERT_TRUE(results.waitForTotal(size_t(counted)));
    int notOnce = 0; // missing or doubled
    for (int id = 1; id <= counted; ++id)
        notOnce += results.count(id) == 1 ? 0 : 1;
    EXPECT_EQ(notOnce, 0) << "seed " << seed;
    EXPECT_EQ(results.total(), size_t(counted)) << "seed " << seed;

    // Every kind of ending must have happened, or the script tests less than it claims.
    // Key: code * 100 + cause of an error; 0 a reply's result, 1 the result of
    // a nested delivery answer handed to its sale.
    std::map<int, int> endings;
    for (int id = 1; id <= counted; ++id) {
        const QJsonDocument result = results.first(id);
        if (isResult(result))
            ++endings[result.object()["result"].toObject()["type"] == "Rn" ? 1 : 0];
        else
            ++endings[errorCodes(result).first * 100 + std::max(0, errorCodes(result).second)];
    }
    for (int ending : {0, 1, 114, 120, 119, 216, 218, 230, 500})
        EXPECT_GT(endings[ending], 0) << "no ending " << ending << " (seed " << seed << ")";
}

} // namespace
