// What only a whole run shows: each kind of action goes through the C
// interface to a terminal and back with its one result. Field by field checks
// live with the translators.
#include "ServiceFixture.h"
#include "engine/base/ECTCertificationLogging.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "support/FileText.h"

#include <QTemporaryDir>

using namespace testsupport;

namespace {

constexpr const char* Terminal = "TERM0001";

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

// The terminal carries out a sale the host has given up on: its approval
// reaches the certification log (and the host's message handler) once, and the
// sale's result and the next transaction stay as they were.
TEST_F(EveryAction, ApprovalOfASaleThatFailedIsReportedOnce)
{
    QTemporaryDir logFolder;
    ASSERT_TRUE(logFolder.isValid());
    auto& log = oxa::ECTCertificationLogging::sharedInstance();
    log.updateEnvironment("certificationFilePath", logFolder.path().toStdString());
    log.updateEnvironment("certificationFileName", "certification.log");
    log.updateEnvironment("certificationModeEnabled", "true");
    // Off again however the test ends, before the folder goes.
    const struct LogOff {
        ~LogOff() { oxa::ECTCertificationLogging::sharedInstance().updateEnvironment("certificationModeEnabled", "false"); }
    } logOff;
    const auto logged = [&] { return QString::fromUtf8(contentOf(logFolder.filePath("certification.log"))); };
    const QString warning = "Reply Rd to Sale came after the transaction had failed and was dropped: "
                            "amount 12.50 EUR, transaction identifier 000777";

    terminal->on("Cd", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_EQ(host.send(Terminal, R"({"transaction": {"action": "Sale", "amount": "12.50"}})"), 0);
    ASSERT_TRUE(terminal->waitForRequests(1));
    ASSERT_EQ(zuva_reset_transaction(Terminal), 0);
    ASSERT_TRUE(host.waitFor("result", 1));
    EXPECT_EQ(errorCodes(host.first("result")), std::make_pair(2, 30));

    const Bytes approval = SimTerminal::replyTo(
        terminal->requests().front(),
        {SimTlv::constructed(fromHex("BF8116"), {SimTlv::hex("DF1E", "000777"), SimTlv::hex("DF26", "000000001250"),
                                                 SimTlv::hex("5F2A", "0978")})});
    ASSERT_TRUE(terminal->send(approval));
    ASSERT_TRUE(terminal->send(approval));
    EXPECT_TRUE(waitUntil([&] { return logged().contains(warning); })) << logged().toStdString();
    EXPECT_TRUE(run({{"action", "LastTransaction"}}).contains("result"));
    EXPECT_EQ(logged().count(warning), 1);
    EXPECT_EQ(host.count("result"), 2u);
}
