#include "RetailFixture.h"

#include "recovery/ZUVARecoveryFileManager.h"

#include <QDirIterator>
#include <QTemporaryDir>

using namespace saletest;

namespace {

struct ActionCase {
    const char* action;
    const char* serviceIdentifier;
    double authorizedAmount; // what the terminal approves: the amount sent
};

const ActionCase kActions[] = {
    {"Sale", "8810", 12.5},
    {"SaleWithCashback", "8810", 17.5},
    {"CancelSale", "8891", 12.5},
    {"Reservation", "8830", 12.5},
    {"SaleAfterReservation", "8843", 12.5},
    {"CancelReservation", "8893", 12.5},
    {"CancelSaleAfterReservation", "8894", 12.5},
    {"Refund", "8860", 12.5},
    {"SaleAfterVoiceReferral", "8811", 12.5},
    {"CashAdvance", "8820", 12.5},
    {"CancelCashAdvance", "8892", 12.5},
    {"CashAdvanceAfterVoiceReferral", "8822", 12.5},
};

// A sale reply whose merchant data is not a list of elements.
SimTerminal::Reply unreadableSaleReply(const SimMessage& request)
{
    return SimTerminal::answer(SimMessage::frame(
        SimMessage::buildBody("Rd", request.sequence, {SimTlv::hex("DF9460", "DF13")})));
}

struct RefusalCase {
    const char* name;
    QJsonObject transaction;
    SimTerminal::Responder terminalAnswer; // empty: the approving script
    ErrorSummary expected;
    bool reachesTerminal;
};

} // namespace

TEST_F(RetailEndToEnd, EverySaleActionIsSentAndApproved)
{
    for (const ActionCase& each : kActions) {
        SCOPED_TRACE(each.action);
        const auto transaction = send({{"action", each.action},
                                       {"amount", "12.50"},
                                       {"cashbackAmount", "5.00"},
                                       {"authorizationCode", "AB12CD"},
                                       {"saleSystemActionIdentifier", "0000002A"}});
        EXPECT_EQ(transaction->returned, 0);
        const QJsonObject result = transaction->result().value("result").toObject();
        EXPECT_EQ(result.value("authorizedAmount").toDouble(), each.authorizedAmount);
        EXPECT_EQ(result.value("currency"), "EUR");
        EXPECT_EQ(result.value("terminalIdentifier"), Terminal);
        EXPECT_EQ(result.value("date"), "2024-03-09-09-05-07");
        EXPECT_EQ(result.value("saleSystemActionIdentifier"), "0000002A");
        EXPECT_EQ(result.value("clippedPAN"), "4970XXXXXXXX1234");
        const SimMessage request = requestsOfType("Cd").back();
        EXPECT_EQ(valueOf(request, "DF21"), each.serviceIdentifier);
        EXPECT_EQ(testsupport::toHex(request.destination()), "000A");
    }
    EXPECT_EQ(requestsOfType("Cd").size(), std::size(kActions));
}

TEST_F(RetailEndToEnd, RefusalsAndTerminalErrorsReachTheHostOnce)
{
    const SimTerminal::Responder rejecting = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::rejectionOf(request, "0A"));
    };
    const SimTerminal::Responder incident = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "4401", "CARD REFUSED"));
    };
    const QJsonObject sale{{"action", "Sale"}, {"amount", "10.00"}};
    auto with = [&sale](const char* key, const QJsonValue& value) {
        QJsonObject changed = sale;
        changed.insert(key, value);
        return changed;
    };
    const RefusalCase cases[] = {
        {"rejected by the terminal", sale, rejecting, {1, 20, "", "0A", ""}, true},
        {"incident at the terminal", sale, incident, {1, 19, "4401", "", "CARD REFUSED"}, true},
        {"unreadable reply", sale, &unreadableSaleReply, {2, 16, "", "", ""}, true},
        {"no amount", {{"action", "CancelSale"}}, {}, {1, 112, "", "", ""}, false},
        {"proprietary data not hex", with("proprietaryData", "XY"), {}, {1, 120, "", "", ""}, false},
        {"identifier not hex", with("saleSystemActionIdentifier", "ZZZZZZZZ"), {}, {2, 15, "", "", ""}, false},
        {"identifier of 3 bytes", with("saleSystemActionIdentifier", "ABCDEF"), {}, {2, 51, "", "", ""}, false},
        {"unregistered balance action", {{"action", "BalanceSiteClosing"}, {"acquirerId", "12345678"}}, {},
         {2, 15, "", "", ""}, false},
    };
    for (const RefusalCase& each : cases) {
        SCOPED_TRACE(each.name);
        SimSaleReplies::script(terminal, Terminal);
        if (each.terminalAnswer)
            terminal.on("Cd", each.terminalAnswer);
        const size_t sentBefore = terminal.requests().size();
        const auto transaction = send(each.transaction);
        const ErrorSummary error = errorOf(transaction->result());
        EXPECT_EQ(error.code, each.expected.code);
        EXPECT_EQ(error.cause, each.expected.cause);
        EXPECT_EQ(error.incident, each.expected.incident);
        EXPECT_EQ(error.rejection, each.expected.rejection);
        EXPECT_EQ(error.merchantText, each.expected.merchantText);
        EXPECT_EQ(transaction->returned, each.reachesTerminal ? 0 : -1);
        EXPECT_EQ(terminal.requests().size(), sentBefore + (each.reachesTerminal ? 1 : 0));
    }
}

TEST_F(RetailEndToEnd, UnknownCurrencySettingRejectsTheSale)
{
    applySettings({{"currencyCode", "XYZ"}});
    const auto transaction = send({{"action", "Sale"}, {"amount", "10.00"}});
    const ErrorSummary error = errorOf(transaction->result());
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.cause, 110);
    EXPECT_TRUE(terminal.requests().empty());

    applySettings({{"currencyCode", "GBP"}});
    const auto pounds = send({{"action", "Sale"}, {"amount", "10.00"}});
    EXPECT_EQ(pounds->result().value("result").toObject().value("currency"), "GBP");
    EXPECT_EQ(valueOf(requestsOfType("Cd").back(), "5F2A"), "0826");
}

TEST_F(RetailEndToEnd, LastTransactionReadsAsASale)
{
    const auto last = send({{"action", "LastTransaction"}, {"amount", "3.00"}});
    const QJsonObject result = last->result().value("result").toObject();
    EXPECT_EQ(result.value("terminalIdentifier"), Terminal);
    EXPECT_EQ(result.value("date"), "2024-03-09-09-05-07");
    EXPECT_EQ(result.value("cardBrandName"), "CB");
    const std::vector<SimMessage> requests = requestsOfType("Ce");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(testsupport::toHex(requests.front().body), "F009E107D0024365D10101");
}

TEST_F(RetailEndToEnd, BackupModeSaleIsRecorded)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto& recovery = ect::ZUVARecoveryFileManager::instance();
    const QString previous = recovery.recoveryFileFolder();
    recovery.recoveryFileFolder(folder.path());
    terminal.on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(SimSaleReplies::saleReplyTo(request, Terminal, true));
    });
    const auto sale = send({{"action", "Sale"}, {"amount", "8.00"}});
    const QJsonObject result = sale->result().value("result").toObject();
    EXPECT_TRUE(result.value("cardHolderVerificationMethod").toObject().value("processedInBackupMode").toBool());
    QDirIterator files(folder.path(), QDir::Files, QDirIterator::Subdirectories);
    EXPECT_TRUE(files.hasNext());
    recovery.recoveryFileFolder(previous);
}
