// What only a whole run shows: each kind of action goes through the C
// interface to a terminal and back with its one result. Field by field checks
// live with the translators.
#include "ReplyRows.h"
#include "ServiceFixture.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "support/CertificationLog.h"
#include "support/TerminalTextCases.h"

#include <atomic>
#include <memory>

using namespace testsupport;

namespace {

constexpr const char* Terminal = "TERM0001";

// The error reply a terminal may send under a message type of its own.
Bytes incidentReply(const std::string& type, int sequence, const std::string& incidentHex)
{
    return SimMessage::frame(SimMessage::buildBody(
        type, sequence, {SimTlv::constructed(fromHex("BF8101"), {SimTlv::hex("DF940D", incidentHex)})}));
}

class EveryAction : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        terminal = connectTerminal(Terminal);
        SimSaleReplies::script(*terminal, Terminal);
        SimOperationReplies::answerAll(*terminal);
    }

    // Sends the transaction and returns its one result.
    QJsonObject run(const QJsonObject& transaction)
    {
        const size_t before = host.count("result");
        const std::string json = QJsonDocument(QJsonObject{{"transaction", transaction}}).toJson().toStdString();
        EXPECT_EQ(host.send(Terminal, json), 0);
        EXPECT_TRUE(host.waitFor("result", before + 1));
        return host.last("result");
    }

    std::unique_ptr<SimTerminal> terminal;
};

} // namespace

TEST_F(EveryAction, EachKindOfActionGetsItsResult)
{
    const struct {
        QJsonObject transaction;
        const char* requestType;
        const char* resultKey; // a member the result must hold; empty: an empty result
    } cases[] = {
        {{{"action", "Sale"}, {"amount", "12.50"}}, "Cd", "authorizedAmount"},
        {{{"action", "LastTransaction"}}, "Ce", "terminalIdentifier"},
        {{{"action", "RequestCardInfo"}}, "Ch", "cardToken"},
        {{{"action", "CheckCardValidity"}}, "Cd", "clippedPAN"},
        {{{"action", "BalanceTerminalConsultation"}, {"acquirerId", "12345678"}}, "Cb", "financialCounterInfos"},
        {{{"action", "TicketGet"}, {"layoutIdentifier", "0A1B"}}, "Cw", "formattedTicket"},
        {{{"action", "BackupModeStatus"}, {"cardBrandIdentifier", "0001"}}, "Co", "enabled"},
        {{{"action", "MMITransaction"}, {"displayTimeout", 30}, {"firstTextIdentifier", 26}}, "Cm", "okKeyPressed"},
        {{{"action", "MMIOpen"}}, "Ck", ""},
        {{{"action", "CancelRetail"}, {"saleSystemActionIdentifier", "0000002A"}}, "Co", ""},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.transaction.value("action").toString().toStdString());
        const QJsonObject document = run(each.transaction);
        ASSERT_TRUE(document.contains("result")) << QJsonDocument(document).toJson().constData();
        const QJsonObject result = document.value("result").toObject();
        if (*each.resultKey)
            EXPECT_TRUE(result.contains(each.resultKey));
        else
            EXPECT_TRUE(result.isEmpty());
        const auto requests = terminal->requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().type, each.requestType);
    }
}

// A C host gets what the terminal approved as it said it: another currency,
// no amount rather than 0.00 for one missing or unreadable, letters kept in
// ISO 8859-1 text and in UTF-8 text cut short, in a sale as in a refund.
TEST_F(EveryAction, AnApprovalGivesWhatTheTerminalSaid)
{
    struct Row {
        std::vector<SimTlv> service;
        QJsonObject expected; // the members read back
    };
    std::vector<Row> rows = {
        {{SimTlv::hex("DF26", "000000001250"), SimTlv::hex("5F2A", "0826")},
         {{"authorizedAmount", 12.5}, {"currency", "GBP"}}},
        {{SimTlv::hex("5F2A", "0978")}, {{"currency", "EUR"}}},
        {{SimTlv::hex("DF26", "00000001250F"), SimTlv::hex("5F2A", "0978")}, {{"currency", "EUR"}}},
        {{SimTlv::hex("DF26", ""), SimTlv::hex("9F1C", "54455246C9")},
         {{"terminalIdentifier", QString::fromUtf8("TERF\xC3\x89")}}},
        {{SimTlv::hex("9F1C", "544552C38946E282")}, {{"terminalIdentifier", QString::fromUtf8("TER\xC3\x89" "F\xEF\xBF\xBD\xEF\xBF\xBD")}}},
    };
    for (const auto& text : terminalTextCases())
        rows.push_back({{SimTlv::text("9F1C", text.bytes)}, {{"terminalIdentifier", text.read}}});
    for (const auto& row : rows) {
        const std::vector<SimTlv> service = row.service;
        terminal->on("Cd", [service](const SimMessage& request) {
            return SimTerminal::answer(SimTerminal::replyTo(request, {SimTlv::constructed(fromHex("BF8116"), service)}));
        });
        for (const char* action : {"Sale", "Refund"}) {
            SCOPED_TRACE(action + QJsonDocument(row.expected).toJson(QJsonDocument::Compact).toStdString());
            QJsonObject result = run({{"action", action}, {"amount", "12.50"}}).value("result").toObject();
            result.remove("date");
            EXPECT_EQ(result, row.expected) << QJsonDocument(result).toJson(QJsonDocument::Compact).toStdString();
        }
    }
}

// A sale reset before its reply has no transaction identifier or date to
// compare "LastTransaction" with: the last transaction is the reset sale's
// only when it differs from the sale before's result, of the same amount here.
TEST_F(EveryAction, ALastTransactionAfterAResetIsTheResetSalesOnlyWhenItDiffersFromTheOneBefore)
{
    const auto approval = [](const char* identifier, const char* date) {
        return std::vector<SimTlv>{SimTlv::constructed(fromHex("BF8116"),
                                                       {SimTlv::hex("DF26", "000000001250"), SimTlv::hex("5F2A", "0978"),
                                                        SimTlv::hex("DF1E", identifier), SimTlv::hex("DF27", date)})};
    };
    const std::vector<SimTlv> before = approval("000000000001", "20260315101500");
    const std::vector<SimTlv> resetSale = approval("000000000002", "20260315101712");
    // Shared with the terminal's thread, which may outlive a failed test's body.
    const auto sales = std::make_shared<std::atomic<int>>(0);
    terminal->on("Cd", [before, sales](const SimMessage& request) {
        return ++*sales == 1 ? SimTerminal::answer(SimTerminal::replyTo(request, before)) : SimTerminal::silence();
    });
    const QJsonObject sold = run({{"action", "Sale"}, {"amount", "12.50"}}).value("result").toObject();
    const size_t results = host.count("result");
    ASSERT_EQ(host.send(Terminal, R"({"transaction": {"action": "Sale", "amount": "12.50"}})"), 0);
    ASSERT_TRUE(terminal->waitForRequests(2));
    ASSERT_EQ(zuva_reset_transaction(Terminal), 0);
    ASSERT_TRUE(host.waitFor("result", results + 1));
    ASSERT_EQ(errorCodes(host.last("result")), std::make_pair(2, 30));
    // The reset sale's own error has nothing to compare with: the approval before is what counts.
    EXPECT_FALSE(QJsonDocument(host.last("result")).toJson().contains("transactionIdentifier"));
    for (const bool theResetSales : {false, true}) {
        const std::vector<SimTlv> last = theResetSales ? resetSale : before;
        terminal->on("Ce", [last](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request, last)); });
        const QJsonObject status = run({{"action", "LastTransaction"}}).value("result").toObject();
        for (const char* same : {"authorizedAmount", "currency"})
            EXPECT_EQ(status.value(same), sold.value(same)) << same;
        EXPECT_EQ(status.value("transactionIdentifier") != sold.value("transactionIdentifier"), theResetSales);
        EXPECT_EQ(status.value("date") != sold.value("date"), theResetSales);
    }
}

// A terminal that announces its identifier in ISO 8859-1 is known by it, read
// the way every reply text is, and reached under it.
TEST_F(EveryAction, AnIdentifierInIso88591IsTheTerminalsName)
{
    const std::string utf8 = "CAF\xC3\xA9";
    const auto latin1 = connectTerminal("CAF\xE9", host.count("connected"));
    SimSaleReplies::script(*latin1, "CAF\xE9");
    EXPECT_EQ(host.last("connected").value("terminal").toObject().value("terminalIdentifier").toString().toStdString(),
              utf8);
    EXPECT_EQ(zuva_isTerminalConnected(utf8.c_str()), 0);
    const size_t before = host.count("result");
    ASSERT_EQ(host.send(utf8, R"({"transaction": {"action": "LastTransaction"}})"), 0);
    ASSERT_TRUE(host.waitFor("result", before + 1));
    EXPECT_EQ(host.last("result").value("result").toObject().value("terminalIdentifier").toString().toStdString(), utf8);
}

TEST_F(EveryAction, CloseDuringADisplayOperationFailsItAndIsSentAtOnce)
{
    terminal->on("Cm", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_EQ(host.send(Terminal, R"({"transaction": {"action": "MMITransaction", "displayTimeout": 60}})"), 0);
    ASSERT_TRUE(terminal->waitForRequests(1));
    ASSERT_EQ(host.send(Terminal, R"({"transaction": {"action": "MMIClose"}})"), 0);
    ASSERT_TRUE(host.waitFor("result", 2));
    const std::vector<QJsonObject> results = host.documents("result");
    const int dropped = results[0].contains("error") ? 0 : 1;
    EXPECT_EQ(errorCodes(results[dropped]), std::make_pair(2, 30));
    EXPECT_TRUE(results[1 - dropped].contains("result"));
}

// A sale sent without a result callback and reset while the terminal holds
// it: its free function runs once, under no library lock (the sanitizer
// builds abort when host code is entered under one).
TEST_F(EveryAction, TheFreeFunctionOfASaleWithoutResultCallbackRunsOnceWhenItIsReset)
{
    static std::atomic<int> freed{0};
    freed = 0;
    terminal->on("Cd", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_EQ(zuva_send_transaction(Terminal, R"({"transaction": {"action": "Sale", "amount": "10.00"}})", nullptr,
                                    nullptr, nullptr, nullptr, [](void*) { ++freed; }),
              0);
    ASSERT_TRUE(terminal->waitForRequests(1));
    ASSERT_EQ(zuva_reset_transaction(Terminal), 0);
    EXPECT_TRUE(waitUntil([] { return freed.load() == 1; }));
}

TEST_F(EveryAction, ApprovalWrittenRightBeforeTheTerminalClosesIsTheResult)
{
    terminal->on("Cd", [](const SimMessage& request) {
        return SimTerminal::Reply{{SimSaleReplies::saleReplyTo(request, Terminal)}, true};
    });
    ASSERT_EQ(host.send(Terminal, R"({"transaction": {"action": "Sale", "amount": "10.00"}})"), 0);
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    ASSERT_TRUE(host.waitFor("free", 1));
    ASSERT_EQ(host.count("result"), 1u);
    EXPECT_TRUE(host.first("result").contains("result")) << QJsonDocument(host.first("result")).toJson().constData();
    EXPECT_LT(host.position("result"), host.position("disconnected"));
}

// An error reply of another type ends the sale in flight at once; one under
// the number of a sale that has already failed is only warned of while the
// next sale goes on to its own result.
TEST_F(EveryAction, AnErrorReplyOfAnotherTypeEndsOnlyTheSaleWhoseNumberItCarries)
{
    const CertificationLog log;
    const std::string sale = R"({"transaction": {"action": "Sale", "amount": "10.00"}})";
    terminal->on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(incidentReply("Re", request.sequence, "2630"));
    });
    ASSERT_EQ(host.send(Terminal, sale), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    EXPECT_EQ(errorCodes(host.last("result")), std::make_pair(1, 19));
    EXPECT_EQ(errorOf(host.last("result")).value("incidentCode").toObject().value("code"), "2630");

    // Shared with the terminal's thread, which may outlive a failed test's body.
    const auto resetSale = std::make_shared<std::atomic<int>>(0);
    terminal->on("Cd", [resetSale](const SimMessage& request) {
        int none = 0;
        if (resetSale->compare_exchange_strong(none, request.sequence))
            return SimTerminal::silence();
        return SimTerminal::Reply{
            {incidentReply("Re", *resetSale, "2630"), SimSaleReplies::saleReplyTo(request, Terminal)}};
    });
    ASSERT_EQ(host.send(Terminal, sale), 0);
    ASSERT_TRUE(terminal->waitForRequests(2));
    ASSERT_EQ(zuva_reset_transaction(Terminal), 0);
    ASSERT_TRUE(host.waitFor("result", 2));
    EXPECT_EQ(errorCodes(host.last("result")), std::make_pair(2, 30));
    ASSERT_EQ(host.send(Terminal, sale), 0);
    ASSERT_TRUE(host.waitFor("result", 3));
    EXPECT_TRUE(host.last("result").contains("result")) << QJsonDocument(host.last("result")).toJson().constData();
    EXPECT_TRUE(waitUntil([&] {
        return log.text().contains("Reply Re to Sale came after the transaction had failed and was dropped: incident 2630");
    })) << log.text().toStdString();
}

TEST_F(EveryAction, EachSaleEndsWithItsOwnReplyOverTcpIp)
{
    expectEachSaleItsOwnReply(host, Terminal, *terminal);
}

TEST_F(EveryAction, ATerminalNumberingItsRepliesItselfGetsEachTransactionItsReplyOverTcpIp)
{
    expectEachTransactionItsReplyUnderTheTerminalsOwnNumbers(host, Terminal, *terminal);
}

TEST_F(EveryAction, ATerminalAnsweringUnderOneNumberGetsEachTransactionItsReplyOverTcpIp)
{
    expectEachTransactionItsReplyUnderOneNumber(host, Terminal, *terminal);
}

TEST_F(EveryAction, ACancellationQuotingTheSalesNumberGetsItsReplyOverTcpIp)
{
    expectACancellationQuotingTheSalesNumberItsReply(host, Terminal, *terminal);
}

TEST_F(EveryAction, ACounterOneBehindAfterAResetLosesNoSaleOverTcpIp)
{
    expectEachSaleItsReplyFromACounterOneBehind(host, Terminal, *terminal, false);
}

TEST_F(EveryAction, ACounterOneBehindAfterADeliveryQuestionLosesNoSaleOverTcpIp)
{
    expectEachSaleItsReplyFromACounterOneBehind(host, Terminal, *terminal, true);
}

TEST_F(EveryAction, AResetSalesApprovalUnderOneNumberLosesNoSaleOverTcpIp)
{
    expectASaleWaitingPastAResetOnesApprovalUnderOneNumberAnApproval(host, Terminal, *terminal);
}

TEST_F(EveryAction, AResetSalesApprovalUnderOneNumberIsHeardOfWhenEverySaleIsOfOneAmountOverTcpIp)
{
    expectASaleWaitingPastAResetOnesApprovalUnderOneNumberAnApproval(host, Terminal, *terminal, true);
}

TEST_F(EveryAction, EqualRepliesUnderOneNumberAreNoRepeatsOverTcpIp)
{
    answerAlikeUnderOneNumber(*terminal, Terminal);
    expectEqualRepliesUnderOneNumberEachTheirOwn(host, Terminal);
}

TEST_F(EveryAction, AResentApprovalNeverAnswersTheNextSaleOverTcpIp)
{
    expectNoResentApprovalAnswersTheNextSale(host, Terminal, *terminal);
}

TEST_F(EveryAction, AStaleEntryAnswerNeverAnswersTheNextEntryOverTcpIp)
{
    expectAStaleEntryAnswerNeverAnswersTheNextEntry(host, Terminal, *terminal);
}

namespace {

class WarningHandlerOverTcpIp : public EveryAction, public ::testing::WithParamInterface<WarningRow> {
};

} // namespace

TEST_P(WarningHandlerOverTcpIp, NoCallWaitsForTheHandler)
{
    expectNoCallToWaitForTheWarningHandler(host, Terminal, *terminal, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, WarningHandlerOverTcpIp, ::testing::ValuesIn(warningRows()), nameOf);
