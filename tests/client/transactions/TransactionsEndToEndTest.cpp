#include "client/ClientEndToEnd.h"
#include "client/transactions/AuthorizedSaleTransaction.h"
#include "client/transactions/BackupModeStatusTransaction.h"
#include "client/transactions/BackupModeTransaction.h"
#include "client/transactions/BalanceTerminalConsultationTransaction.h"
#include "client/transactions/CancelRetailTransaction.h"
#include "client/transactions/CheckCardValidityTransaction.h"
#include "client/transactions/LastTransactionStatusTransaction.h"
#include "client/transactions/PrintTicketTransaction.h"
#include "client/transactions/RequestCardInfoTransaction.h"
#include "client/transactions/SaleTransaction.h"
#include "client/transactions/SaleWithCashbackTransaction.h"
#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"
#include "client/transactions/SmartPaySaleTransaction.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <thread>

using namespace clienttest;
using ect::DeliveryCallback;

namespace {

using testsupport::SimMessage;
using testsupport::SimOperationReplies;
using testsupport::SimSaleReplies;
using testsupport::SimTerminal;
using testsupport::SimTlv;

// The client host with one simulated terminal that approves every retail
// and card service and returns the ticket "TICKET\f" for every ticket request.
class TransactionsEndToEnd : public ClientEndToEnd {
protected:
    void SetUp() override
    {
        SimSaleReplies::script(sim, TerminalId);
        SimOperationReplies::answerAll(sim);
        ClientEndToEnd::SetUp();
    }

    std::vector<SimMessage> requestsOfType(const std::string& type) const
    {
        std::vector<SimMessage> found;
        for (const SimMessage& request : sim.requests())
            if (request.type == type)
                found.push_back(request);
        return found;
    }

    static std::string valueOf(const SimMessage& message, const std::string& hexTag)
    {
        const SimTlv* found = message.find(hexTag);
        return found ? testsupport::toHex(found->value) : std::string("absent");
    }

    // The last request of that type; an empty message when there is none.
    SimMessage lastOfType(const std::string& type) const
    {
        const std::vector<SimMessage> found = requestsOfType(type);
        return found.empty() ? SimMessage() : found.back();
    }

    // The sale was approved, fetched its ticket and went to the terminal as that service.
    template <typename Result>
    void expectApprovedWithTicket(const Result& result, const char* serviceIdentifier)
    {
        SCOPED_TRACE(serviceIdentifier);
        EXPECT_EQ(errorText(result.error()) + " " + result.clientTicket(), "ok TICKET\f");
        EXPECT_EQ(valueOf(lastOfType("Cd"), "DF21"), serviceIdentifier);
    }

    static ect::Amount amount() { return ect::Amount("12.50"); }
};

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

TEST_F(TransactionsEndToEnd, SaleReachesTheHostOnceWithItsClientTicket)
{
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
    ASSERT_TRUE(results.waitFor(1));
    ASSERT_EQ(sim.requests().size(), 2u);
    // The ticket request that follows a sale without ticket data.
    const SimMessage ticketRequest = requestsOfType("Cw").at(0);
    char sequence[3];
    std::snprintf(sequence, sizeof sequence, "%02d", ticketRequest.sequence);
    EXPECT_EQ(testsupport::toHex(ticketRequest.body), std::string("F025E107D0024377D101") + sequence +
                                                          "BF810818DF94690400000002DF94280111DF1A00DF940F00DF941100");

    const ect::SaleResult sale = results.first();
    EXPECT_EQ(errorText(sale.error()) + " " + sale.clientTicket() + sale.terminalIdentifier(), "ok TICKET\fTERM0001");
    EXPECT_EQ(sale.authorizedAmount(), 12.5);
    const std::tm date = sale.timeStamp().value();
    EXPECT_EQ((std::vector<int>{date.tm_year, date.tm_mon, date.tm_mday, date.tm_hour, date.tm_min, date.tm_sec}),
              (std::vector<int>{124, 2, 9, 9, 5, 7}));
}

TEST_F(TransactionsEndToEnd, EverySaleActionIsApprovedWithItsTicket)
{
    using Sale = ect::SaleAction;
    using Authorized = ect::AuthorizedSaleAction;
    const std::pair<Sale, const char*> sales[] = {
        {Sale::Sale, "8810"}, {Sale::Reservation, "8830"}, {Sale::Refund, "8860"}, {Sale::CashAdvance, "8820"}};
    const std::pair<Authorized, const char*> authorized[] = {
        {Authorized::SaleAfterVoiceReferral, "8811"},   {Authorized::SaleAfterReservation, "8843"},
        {Authorized::CashAdvanceAfterVoiceReferral, "8822"}, {Authorized::CancelSale, "8891"},
        {Authorized::CancelReservation, "8893"},        {Authorized::CancelSaleAfterReservation, "8894"},
        {Authorized::CancelCashAdvance, "8892"}};
    for (const auto& each : sales)
        expectApprovedWithTicket(resultOf<ect::SaleResult>([&](auto done) {
            return ect::SaleTransaction(each.first, amount(), done);
        }), each.second);
    for (const auto& each : authorized) {
        const auto result = resultOf<ect::AuthorizedSaleResult>(
            [&](auto done) { return ect::AuthorizedSaleTransaction(each.first, amount(), "AB12CD", done); });
        expectApprovedWithTicket(result, each.second);
        EXPECT_EQ(result.action(), each.first);
    }
    const auto smartPay =
        resultOf<ect::SaleResult>([](auto done) { return ect::SmartPaySaleTransaction(amount(), done); });
    expectApprovedWithTicket(smartPay, "8810");
    EXPECT_EQ(valueOf(lastOfType("Cd"), "DF9465"), "01");
    EXPECT_EQ(smartPay.action(), Sale::Sale);
}

TEST_F(TransactionsEndToEnd, CashbackSaleAndLastTransactionCarryTheirIdentifierAndTicket)
{
    const auto cashback = resultOf<ect::SaleWithCashbackResult>([](auto done) {
        return ect::SaleWithCashbackTransaction(amount(), ect::Amount("5"), ect::ECTSaleSystemActionIdentifier(42ul), done);
    });
    EXPECT_EQ(cashback.saleSystemActionIdentifier().value().stringValue(), "0000002A");
    EXPECT_EQ(cashback.clientTicket(), "TICKET\f");
    EXPECT_EQ(cashback.authorizedAmount(), 17.5);

    const auto last =
        resultOf<ect::LastTransactionResult>([](auto done) { return ect::LastTransactionStatusTransaction(done); });
    EXPECT_EQ(errorText(last.error()) + " " + last.terminalIdentifier() + " " + last.clientTicket(), "ok TERM0001 TICKET\f");
    EXPECT_EQ(requestsOfType("Ce").size() + requestsOfType("Cw").size(), 3u);
}

// What the terminal approved reaches a C++ register as it said it: another
// currency, no amount rather than 0.00, a ticket's letters in ISO 8859-1 kept.
TEST_F(TransactionsEndToEnd, ApprovalsGiveTheTerminalsAmountCurrencyAndTicket)
{
    sim.on("Cw", [](const SimMessage& request) {
        return SimTerminal::answer(SimOperationReplies::ticketReplyTo(request, {"CAF\xE9\f"}));
    });
    const std::pair<std::vector<SimTlv>, const char*> rows[] = {
        {{SimTlv::hex("DF26", "000000001250"), SimTlv::hex("5F2A", "0826")}, "12.5 GBP"},
        {{SimTlv::hex("5F2A", "0978")}, "none EUR"},
        {{SimTlv::hex("DF26", "F00000001250"), SimTlv::hex("5F2A", "0978")}, "none EUR"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.second);
        const std::vector<SimTlv> service = row.first;
        sim.on("Cd", [service](const SimMessage& request) {
            return SimTerminal::answer(SimTerminal::replyTo(request, {SimTlv::constructed(testsupport::fromHex("BF8116"), service)}));
        });
        const auto approval = [](const ect::SaleResultInfo& result) {
            return (result.hasAuthorizedAmount() ? std::to_string(result.authorizedAmount()).substr(0, 4) : "none") + " " +
                   result.currency() + " " + result.clientTicket();
        };
        const std::string expected = row.second + std::string(" CAF\xC3\xA9\f");
        EXPECT_EQ(approval(resultOf<ect::SaleResult>([](auto done) {
                      return ect::SaleTransaction(ect::SaleAction::Sale, amount(), done);
                  })),
                  expected);
        EXPECT_EQ(approval(resultOf<ect::AuthorizedSaleResult>([](auto done) {
                      return ect::AuthorizedSaleTransaction(ect::AuthorizedSaleAction::CancelSale, amount(), "AB12CD", done);
                  })),
                  expected);
    }
}

// A register's amount text is sent whole or not at all: "1 250" never becomes a sale of 1.00.
TEST_F(TransactionsEndToEnd, AmountTextIsSentWholeOrNotAtAll)
{
    const std::pair<const char*, const char*> rows[] = {
        {" 12,50 ", "000000001250"}, {"9999999999", "999999999900"}, {"1 250", "refused"},
        {"12.50 EUR", "refused"},    {"1e3", "refused"},             {"0x1A", "refused"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        const std::size_t requestsBefore = sim.requests().size();
        std::string sent = "refused";
        try {
            const auto sale = resultOf<ect::SaleResult>([&](auto done) {
                return ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount(row.first), done);
            });
            sent = sim.requests().size() == requestsBefore ? "nothing sent: " + errorText(sale.error())
                                                           : valueOf(lastOfType("Cd"), "DF50");
        } catch (const std::logic_error&) { // invalid_argument or out_of_range: the amount is refused
            EXPECT_EQ(sim.requests().size(), requestsBefore);
        }
        EXPECT_EQ(sent, row.second);
    }
}

TEST_F(TransactionsEndToEnd, SaleOnADisconnectedTerminalFailsInsideSend)
{
    sim.close();
    ASSERT_TRUE(listener.waitForCall("disconnected TERM0001"));
    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
    ASSERT_EQ(results.count(), 1u);
    EXPECT_EQ(errorText(results.first().error()), "2/15 reason=Terminal with id TERM0001 is not connected");
}

TEST_F(TransactionsEndToEnd, ApprovedSaleStaysApprovedWhenItsTicketDoesNotCome)
{
    // The ticket request times out after its 5 seconds, or the terminal goes away instead of answering it.
    for (const SimTerminal::Responder& ticket :
         {SimTerminal::Responder([](const SimMessage&) { return SimTerminal::silence(); }),
          SimTerminal::Responder([](const SimMessage&) { return SimTerminal::closing(); })}) {
        sim.on("Cw", ticket);
        Results<ect::SaleResult> results;
        terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), results.callback()));
        ASSERT_TRUE(results.waitFor(1, std::chrono::seconds(10)));
        EXPECT_EQ(errorText(results.first().error()) + " " + results.first().clientTicket(), "ok ");
        EXPECT_EQ(results.first().authorizedAmount(), 12.5);
    }
}

TEST_F(TransactionsEndToEnd, DeliveryQuestionIsAnsweredAndTheFinalResultFollows)
{
    const std::pair<std::string, DeliveryCallback> cases[] = {
        {"accepted", [](const ect::SaleResult&) { return ProductDeliveryAccepted; }},
        {"refused", [](const ect::SaleResult&) { return ProductDeliveryRefused; }},
        {"refused by another value", [](const ect::SaleResult&) { return ProductDeliveryBlockReturnValue(2); }},
        {"no delivery callback", nullptr},
        {"throwing delivery callback",
         [](const ect::SaleResult&) -> ProductDeliveryBlockReturnValue { throw std::runtime_error("no"); }},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.first);
        std::vector<ect::SaleResult> asked;
        const DeliveryCallback recording = [&](const ect::SaleResult& question) {
            asked.push_back(question);
            return each.second(question);
        };
        const auto sale = resultOf<ect::SaleResult>([&](auto done) {
            return ect::SaleWithDeliveryConfirmationTransaction(amount(), done, each.second ? recording : nullptr);
        });
        const bool accepted = each.first == "accepted";
        EXPECT_EQ(valueOf(lastOfType("RR"), "DF940D"), accepted ? "0000" : "4400");
        EXPECT_EQ(errorText(sale.error()) + " " + sale.clientTicket(), accepted ? "ok TICKET\f" : "1/19 4400 ");
        ASSERT_EQ(asked.size(), each.second ? 1u : 0u);
        if (each.second) {
            EXPECT_EQ(asked[0].action(), ect::SaleAction::SaleWithDeliveryConfirmation);
            EXPECT_EQ(asked[0].timeStamp()->tm_year, 124);
        }
    }
    // A plain sale transaction with that action refuses the question and awaits the end.
    const auto plain = resultOf<ect::SaleResult>(
        [](auto done) { return ect::SaleTransaction(ect::SaleAction::SaleWithDeliveryConfirmation, amount(), done); });
    EXPECT_EQ(valueOf(lastOfType("RR"), "DF940D"), "4400");
    ASSERT_TRUE(plain.error());
    EXPECT_EQ(plain.error()->extraInformationData().at("merchantText"), "NOT DELIVERED");
}

TEST_F(TransactionsEndToEnd, RefusalMentioningDeliveryIsNoQuestion)
{
    sim.on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "4401", "productdelivery"));
    });
    int asked = 0;
    const auto sale = resultOf<ect::SaleResult>([&](auto done) {
        return ect::SaleWithDeliveryConfirmationTransaction(amount(), done, [&](const ect::SaleResult&) {
            ++asked;
            return ProductDeliveryAccepted;
        });
    });
    EXPECT_EQ(errorText(sale.error()), "1/19 4401");
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(requestsOfType("RR").empty());
}

TEST_F(TransactionsEndToEnd, PrintTicketSendsUpToItsLimit)
{
    const auto printed = resultOf<ect::PrintTicketResult>(
        [](auto done) { return ect::PrintTicketTransaction(std::string(4096, 'A'), done); });
    EXPECT_EQ(errorText(printed.error()) + " " + printed.terminalIdentifier(), "ok TERM0001");
    ASSERT_EQ(requestsOfType("Cw").size(), 1u);
    EXPECT_EQ(requestsOfType("Cw")[0].find("DF17")->textValue().substr(0, 4097), std::string(4096, 'A') + "\f");

    const auto refused = resultOf<ect::PrintTicketResult>(
        [](auto done) { return ect::PrintTicketTransaction(std::string(4097, 'A'), done); });
    EXPECT_EQ(errorText(refused.error()), "1/117");
    EXPECT_EQ(requestsOfType("Cw").size(), 1u);
}

TEST_F(TransactionsEndToEnd, CardInformationTakesItsRecognitionTimeout)
{
    using Seconds = std::chrono::seconds;
    const std::pair<boost::optional<Seconds>, std::string> cases[] = {
        {Seconds(20), "0020"},
        {boost::none, "0045"}, // the setting
        {Seconds((std::int64_t(1) << 32) + 20), ""}, // refused whole, not cut to 20 seconds
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.second);
        const std::size_t before = requestsOfType("Ch").size();
        const auto option = ect::CardInfoOption::SaleAfterCardRecognition;
        const auto card = resultOf<ect::RequestCardInfoResult>([&](auto done) {
            return each.first ? ect::RequestCardInfoTransaction(option, *each.first, done)
                              : ect::RequestCardInfoTransaction(option, done);
        });
        EXPECT_EQ(errorText(card.error()), each.second.empty() ? "2/15 reason=recognitionTimeout is out of range "
                                                                 "(0 to 9999 seconds): 4294967316"
                                                               : "ok");
        const auto requests = requestsOfType("Ch");
        ASSERT_EQ(requests.size(), before + (each.second.empty() ? 0 : 1));
        if (!each.second.empty()) {
            EXPECT_EQ(valueOf(requests.back(), "DF9468"), each.second);
            EXPECT_TRUE(card.isIccEmv());
        }
    }
}

TEST_F(TransactionsEndToEnd, BalanceBackupModeAndCardValidityGiveTheirResults)
{
    const auto balance = resultOf<ect::BalanceTerminalConsultationResult>(
        [](auto done) { return ect::BalanceTerminalConsultationTransaction("12345678", done); });
    EXPECT_EQ(errorText(balance.error()) + " " + balance.acquirerLabelName(), "ok ACQUIRER");
    const auto counters = balance.financialCounterInfo();
    ASSERT_EQ(counters.size(), 2u);
    EXPECT_EQ(counters[0].name() + " " + counters[1].name(), "CB CRDA");
    EXPECT_EQ(counters[1].cumulativeTotalAmount(), 1.0);

    for (const bool enabled : {true, false}) {
        const auto backup =
            resultOf<ect::BackupModeResult>([&](auto done) { return ect::BackupModeTransaction(enabled, done); });
        EXPECT_EQ(errorText(backup.error()), "ok");
        EXPECT_EQ(SimOperationReplies::operationCodeOf(lastOfType("Co")), enabled ? "0030" : "0031");
    }
    const auto status =
        resultOf<ect::BackupModeStatusResult>([](auto done) { return ect::BackupModeStatusTransaction(done); });
    EXPECT_EQ(errorText(status.error()), "ok");
    EXPECT_TRUE(status.enabled());

    const auto card =
        resultOf<ect::CheckCardValidityResult>([](auto done) { return ect::CheckCardValidityTransaction(done); });
    EXPECT_EQ(errorText(card.error()) + " " + card.clippedPAN(), "ok 4970XXXXXXXX1234");
    EXPECT_EQ(card.timeStamp().tm_year, 124);
    EXPECT_EQ(valueOf(lastOfType("Cd"), "DF21"), SimSaleReplies::ValidityCheckService);
}

TEST_F(TransactionsEndToEnd, RetailCancellationDuringASaleLeavesTheSaleItsReply)
{
    auto pendingSale = std::make_shared<SimMessage>();
    sim.on("Cd", [pendingSale](const SimMessage& request) {
        *pendingSale = request;
        return SimTerminal::silence();
    });
    Results<ect::SaleResult> sale;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), sale.callback()));
    ASSERT_TRUE(sim.waitForRequests(1));

    const auto cancelled =
        resultOf<ect::CancelRetailResult>([](auto done) { return ect::CancelRetailTransaction(done); });
    EXPECT_EQ(errorText(cancelled.error()), "ok");
    EXPECT_EQ(sale.count(), 0u);

    sim.send(SimSaleReplies::saleReplyTo(*pendingSale, TerminalId));
    ASSERT_TRUE(sale.waitFor(1));
    EXPECT_EQ(errorText(sale.first().error()) + " " + sale.first().clientTicket(), "ok TICKET\f");
}

// The host resets a sale the terminal still holds and sells again at once:
// the first sale's approval, sent before the second one's, is no result of
// the second sale.
TEST_F(TransactionsEndToEnd, ASaleSoldAgainAfterAResetGetsItsOwnApproval)
{
    const auto first = std::make_shared<SimMessage>();
    sim.on("Cd", [first](const SimMessage& request) {
        if (first->type.empty()) {
            *first = request;
            return SimTerminal::silence();
        }
        return SimTerminal::Reply{{SimSaleReplies::saleReplyTo(*first, TerminalId),
                                   SimSaleReplies::saleReplyTo(request, TerminalId)}};
    });
    Results<ect::SaleResult> reset;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, amount(), reset.callback()));
    ASSERT_TRUE(sim.waitForRequests(1));
    terminal->resetTransaction();
    ASSERT_TRUE(reset.waitFor(1));
    EXPECT_EQ(errorText(reset.first().error()), "2/30");

    const auto again = resultOf<ect::SaleResult>(
        [](auto done) { return ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("7.00"), done); });
    EXPECT_EQ(errorText(again.error()), "ok");
    EXPECT_EQ(again.authorizedAmount(), 7.0);
    EXPECT_EQ(reset.count(), 1u);
}

// A terminal that numbers its sale replies as the numbering says: each sale
// and each cancellation of it gets its own approval.
class TerminalNumbering : public TransactionsEndToEnd {
protected:
    void expectEachSaleAndCancellationItsApproval(std::function<int(const SimMessage& request)> number)
    {
        sim.on("Cd", [number](const SimMessage& request) {
            SimMessage own = request;
            own.sequence = number(request);
            // An identifier of its own transaction, as a terminal gives each reply.
            own.root.children.push_back(SimTlv::hex("DF9464", valueOf(request, "DF21") + "0000"));
            return SimTerminal::Reply{{SimSaleReplies::saleReplyTo(own, TerminalId)}};
        });
        for (const char* value : {"1.00", "2.00", "3.00"}) {
            SCOPED_TRACE(value);
            const auto sale = resultOf<ect::SaleResult>(
                [value](auto done) { return ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount(value), done); });
            EXPECT_EQ(errorText(sale.error()), "ok");
            EXPECT_EQ(sale.authorizedAmount(), std::stod(value));
            const auto cancellation = resultOf<ect::AuthorizedSaleResult>([value](auto done) {
                return ect::AuthorizedSaleTransaction(ect::AuthorizedSaleAction::CancelSale, ect::Amount(value),
                                                      "AB12CD", done);
            });
            EXPECT_EQ(errorText(cancellation.error()), "ok");
            EXPECT_EQ(cancellation.authorizedAmount(), std::stod(value));
        }
    }
};

// A counter of its own, which comes round to the numbers of the host's
// answered sales.
TEST_F(TerminalNumbering, ATerminalNumberingItsRepliesItselfGivesEachSaleItsApproval)
{
    const auto counter = std::make_shared<std::atomic<int>>(96);
    expectEachSaleAndCancellationItsApproval([counter](const SimMessage&) { return ++*counter % 99 + 1; });
}

TEST_F(TerminalNumbering, ATerminalAnsweringUnderOneNumberGivesEachSaleItsApproval)
{
    expectEachSaleAndCancellationItsApproval([](const SimMessage&) { return 1; });
}

// Equal replies to equal requests, as the simulated terminal gives them: the
// second sale of one amount is no repeat of the first.
TEST_F(TerminalNumbering, ATerminalAnsweringAlikeUnderOneNumberGivesEachSaleOfOneAmountItsApproval)
{
    const auto underOne = [](SimMessage request) {
        request.sequence = 1;
        return request;
    };
    sim.on("Cd", [underOne](const SimMessage& request) {
        return SimTerminal::Reply{{SimSaleReplies::saleReplyTo(underOne(request), TerminalId)}};
    });
    // The ticket each sale fetches, under the same number.
    sim.on("Cw", [underOne](const SimMessage& request) {
        return SimTerminal::answer(SimOperationReplies::ticketReplyTo(underOne(request), {"TICKET\x0C"}));
    });
    for (int count = 0; count < 3; ++count) {
        const auto sale = resultOf<ect::SaleResult>(
            [](auto done) { return ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("1.00"), done); });
        EXPECT_EQ(errorText(sale.error()), "ok") << count;
    }
}

TEST_F(TerminalNumbering, ACancellationAnsweredUnderTheSalesNumberGetsItsApproval)
{
    const auto lastSale = std::make_shared<std::atomic<int>>(0);
    expectEachSaleAndCancellationItsApproval([lastSale](const SimMessage& request) {
        if (valueOf(request, "DF21") != "8891")
            *lastSale = request.sequence;
        return lastSale->load();
    });
}

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
                terminal->terminal->send(ect::SaleTransaction(
                    ect::SaleAction::Sale, amount(),
                    [toAll = results.callback(), toOwn = own.callback()](const ect::SaleResult& r) {
                        toAll(r);
                        toOwn(r);
                    }));
                testsupport::waitUntil([&] { return own.count() > 0 || terminal->silent; });
                if (terminal->silent.exchange(false))
                    terminal->terminal->resetTransaction();
                if (!own.waitFor(1)) {
                    ++stuck; // the rest would wait as long each
                    return;
                }
            }
        });
    }
    for (std::thread& host : hosts)
        host.join();
    EXPECT_EQ(stuck, 0);
    // Stopping ends every transaction still known, so a second result would be in by then.
    service->stopService();
    EXPECT_EQ(results.count(), terminals.size() * static_cast<std::size_t>(salesPerTerminal));
}
