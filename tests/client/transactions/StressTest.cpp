#include "TransactionsEndToEnd.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <random>
#include <thread>

using namespace clienttest;

namespace {

// A terminal that answers each sale at random: approves, rejects, stays
// silent (the host then resets the sale) or closes its connection.
struct RandomTerminal {
    SimTerminal sim;
    std::shared_ptr<ect::ZUVATerminal> terminal;
    std::atomic<bool> silent{false};
    std::mt19937 random; // used on the terminal's reader thread only

    explicit RandomTerminal(unsigned seed)
        : random(seed)
    {
        sim.on("Cd", [this](const SimMessage& request) {
            const unsigned draw = random() % 100;
            if (draw < 70)
                return SimTerminal::answer(SimSaleReplies::saleReplyTo(request, "X"));
            if (draw < 88)
                return SimTerminal::answer(SimTerminal::rejectionOf(request, "0A"));
            if (draw < 98) {
                silent = true;
                return SimTerminal::silence();
            }
            return SimTerminal::closing();
        });
        SimOperationReplies::answerAll(sim);
    }
};

} // namespace

TEST_F(TransactionsEndToEnd, ThousandSalesOverTenTerminalsEachReachTheHostOnce)
{
    const int salesPerTerminal = std::getenv("ZUVA_TEST_SLOW") ? 20 : 100;
    std::array<std::unique_ptr<RandomTerminal>, 10> terminals;
    for (std::size_t index = 0; index < terminals.size(); ++index) {
        terminals[index] = std::make_unique<RandomTerminal>(static_cast<unsigned>(index));
        terminals[index]->terminal = connect(terminals[index]->sim, "STRESS0" + std::to_string(index));
        ASSERT_NE(terminals[index]->terminal, nullptr);
    }
    Results<ect::SaleResult> results;
    std::atomic<int> stuck{0};
    std::vector<std::thread> hosts;
    for (const auto& each : terminals) {
        hosts.emplace_back([&, terminal = each.get()] {
            for (int sale = 0; sale < salesPerTerminal; ++sale) {
                Results<ect::SaleResult> own;
                terminal->terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), [&](const ect::SaleResult& r) {
                    results.callback()(r);
                    own.callback()(r);
                }));
                testsupport::waitUntil([&] { return own.count() > 0 || terminal->silent; });
                if (terminal->silent.exchange(false))
                    terminal->terminal->resetTransaction();
                if (!own.waitFor(1))
                    ++stuck;
            }
        });
    }
    for (std::thread& host : hosts)
        host.join();
    EXPECT_EQ(stuck, 0);
    const std::size_t sends = terminals.size() * static_cast<std::size_t>(salesPerTerminal);
    EXPECT_EQ(results.count(), sends);
    EXPECT_FALSE(results.waitFor(sends + 1, std::chrono::milliseconds(100)));
}
