#include "RetailFixture.h"
#include "simterminal/SimOperationReplies.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace saletest;
using testsupport::SimOperationReplies;
using testsupport::fromHex;
using testsupport::toHex;

namespace {

struct Action {
    const char* name;
    const char* fields;     // JSON members of "transaction" besides "action"
    const char* type;       // request type the terminal receives
    const char* body;       // the body it receives, %s standing for the sequence number
    const char* result;     // the "result" object the host receives
};

// Every action with the body the terminal must receive and the result the
// host must get when the simulated terminal answers as it does by default.
const std::vector<Action> Actions{
    {"TicketPrintAtOnce", R"("formattedTicketText": "AB")", "Cw",
     "F018E107D0024377D101%sBF81080BDF940E0101DF170341420C", "{}"},
    {"PrintTicket", R"("formattedTicketText": "AB", "options": {"noPaperFeed": true})", "Cw",
     "F018E107D0024377D101%sBF81080BDF940E0101DF170341420C", "{}"},
    {"TicketGet", R"("layoutIdentifier": "0A1B", "discreteElements": "0102", "language": "fr")", "Cw",
     "F02BE107D0024377D101%sBF81081EDF94690400000002DF94280111DF1A026672DF940F020A1BDF9411020102",
     R"({"formattedTicket": "TICKET\f", "language": "fr", "layoutIdentifier": "0A1B", "discreteElements": "0102"})"},
    {"CancelRetail", R"("saleSystemActionIdentifier": "0000002A")", "Co",
     "F01BE107D002436FD101%sBF81160EDF9464040000002ADF9466020040", "{}"},
    {"BackupMode", R"("enabled": true)", "Co",
     "F02DE107D002436FD101%sBF811606DF9466020030BF810416BF810512EF10DF90150101DF5F021234DF900F020035", "{}"},
    {"BackupModeStatus", R"("cardBrandIdentifier": "0001")", "Co",
     "F02DE107D002436FD101%sBF811606DF9466020032BF810416BF810512EF10DF90150101DF5F020001DF900F020035",
     R"({"enabled": true})"},
    {"MMIOpen", "", "Ck", "F009E107D002436BD101%s", "{}"},
    {"MMITransaction", R"("displayTimeout": 30, "firstTextIdentifier": 26, "firstTextLanguage": "fr")", "Cm",
     "F027E107D002436DD101%sBF81091ADF9414020030DF9415020030BF810B0ADF941B0126DF1A026672",
     R"({"okKeyPressed": true, "stopKeyPressed": false, "aborted": false})"},
    {"MMIClose", "", "Cl", "F009E107D002436CD101%s", "{}"},
};

std::string withSequence(const char* pattern, int sequence)
{
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02d", sequence);
    std::string text = pattern;
    text.replace(text.find("%s"), 2, digits);
    return text;
}

QJsonObject resultOf(const char* json)
{
    return QJsonObject{{"result", QJsonDocument::fromJson(json).object()}};
}

const QJsonObject EmptyResult{{"result", QJsonObject()}};

// The retail host and terminal, the terminal also answering the operation services.
class OperationServices : public RetailEndToEnd {
protected:
    void SetUp() override
    {
        RetailEndToEnd::SetUp();
        SimOperationReplies::answerAll(terminal);
    }

    // fields: JSON members of "transaction" besides "action".
    std::shared_ptr<SaleHost::Transaction> sendAction(const std::string& action, const std::string& fields = "")
    {
        QJsonObject transaction = QJsonDocument::fromJson(QByteArray::fromStdString("{" + fields + "}")).object();
        transaction.insert("action", QString::fromStdString(action));
        transaction.insert("type", QString::fromStdString(action));
        return send(transaction);
    }

    // Sends the request and waits for its one result (and the release of its user data).
    QJsonObject run(const std::string& action, const std::string& fields = "")
    {
        const auto transaction = sendAction(action, fields);
        EXPECT_EQ(transaction->returned, 0) << action;
        return transaction->result();
    }
};

} // namespace

TEST_F(OperationServices, EveryActionReachesTheTerminalAndReturnsItsResult)
{
    int sequence = 0;
    for (const Action& action : Actions) {
        SCOPED_TRACE(action.name);
        EXPECT_EQ(run(action.name, action.fields), resultOf(action.result));
        const SimMessage request = terminal.requests().at(static_cast<size_t>(sequence++));
        EXPECT_EQ(request.type, action.type);
        EXPECT_EQ(toHex(request.body), withSequence(action.body, sequence));
        EXPECT_EQ(request.announcedLength(), static_cast<int>(request.body.size()));
    }
}

TEST_F(OperationServices, RejectionsAndIncidentsFailEveryAction)
{
    const SimTerminal::Responder rejecting = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::rejectionOf(request, "0102"));
    };
    const SimTerminal::Responder incident = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "2001", "REFUSED"));
    };
    for (const auto& outcome : {std::make_pair(rejecting, 20), std::make_pair(incident, 19)}) {
        for (const char* type : {"Cw", "Co", "Cm", "Ck", "Cl"})
            terminal.on(type, outcome.first);
        for (const Action& action : Actions) {
            SCOPED_TRACE(action.name);
            const QJsonObject document = run(action.name, action.fields);
            EXPECT_FALSE(document.contains("result"));
            EXPECT_EQ(errorOf(document).code, 1);
            EXPECT_EQ(errorOf(document).cause, outcome.second);
        }
    }
}

TEST_F(OperationServices, UnsendableRequestsAreRefusedBeforeSending)
{
    // Each field check is covered unit by unit; here one per service shows nothing is sent.
    const struct {
        const char* action;
        std::string fields;
        int code;
        int cause;
    } refusals[] = {
        {"TicketPrintAtOnce", R"("formattedTicketText": ")" + std::string(4097, 'A') + "\"", 1, 117},
        {"TicketGet", R"("layoutIdentifier": "0A1")", 2, 15},
        {"CancelRetail", R"("saleSystemActionIdentifier": 42)", 2, 15},
        {"BackupModeStatus", R"("cardBrandIdentifier": "12AB")", 2, 15},
        {"MMITransaction", R"("displayTimeout": 10000)", 2, 15},
        {"MMITransaction", R"("displayTimeout": 30, "freeText": {"text_2": ")" + std::string(21, 'X') + "\"}", 1, 51},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(std::string(refusal.action) + " " + refusal.fields.substr(0, 60));
        const auto transaction = sendAction(refusal.action, refusal.fields);
        EXPECT_EQ(transaction->returned, -1);
        const ErrorSummary error = errorOf(transaction->result());
        EXPECT_EQ(error.code, refusal.code);
        EXPECT_EQ(error.cause, refusal.cause);
    }
    EXPECT_TRUE(terminal.requests().empty());
    // The connection is still usable.
    EXPECT_EQ(run("MMIOpen"), EmptyResult);
}

TEST_F(OperationServices, RepliesWithoutTheirResultAreInvalidResponses)
{
    terminal.on("Cm", [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request)); });
    terminal.on("Co", [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::replyTo(
            request, {SimTlv::constructed(fromHex("BF8104"), {SimTlv::text("DF9405", "1")})}));
    });
    for (const char* action : {"MMITransaction", "BackupModeStatus"}) {
        const ErrorSummary error = errorOf(run(action, R"("displayTimeout": 30)"));
        EXPECT_EQ(error.code, 2) << action;
        EXPECT_EQ(error.cause, 16) << action;
    }
    // Replies that carry nothing to read are results all the same.
    EXPECT_EQ(run("CancelRetail"), EmptyResult);
}

TEST_F(OperationServices, CloseDuringADisplayOperationFailsItOnceAndIsSentAtOnce)
{
    terminal.on("Cm", [](const SimMessage&) { return SimTerminal::silence(); });
    const auto operation = sendAction("MMITransaction", R"("displayTimeout": 60)");
    ASSERT_TRUE(terminal.waitForRequests(1));

    // The close's reply may overtake the dropped operation's failure; each gets one.
    EXPECT_EQ(run("MMIClose"), EmptyResult);
    const ErrorSummary dropped = errorOf(operation->result());
    EXPECT_EQ(dropped.code, 2);
    EXPECT_EQ(dropped.cause, 30);
    const auto requests = terminal.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].type, "Cl");

    // A late answer to the dropped operation reaches nobody.
    ASSERT_TRUE(terminal.send(SimOperationReplies::displayReplyTo(requests[0], "00")));
    EXPECT_EQ(run("MMIOpen"), EmptyResult);
    EXPECT_EQ(operation->results().size(), 1u);
}

TEST_F(OperationServices, CancellationSetsTheOperationInFlightAside)
{
    terminal.on("Cm", [](const SimMessage&) { return SimTerminal::silence(); });
    const auto operation = sendAction("MMITransaction", R"("displayTimeout": 60)");
    ASSERT_TRUE(terminal.waitForRequests(1));

    // A sequential request is refused while the operation is in flight; a cancellation is not.
    const ErrorSummary busy = errorOf(run("TicketGet"));
    EXPECT_EQ(busy.code, 1);
    EXPECT_EQ(busy.cause, 14);
    EXPECT_EQ(run("CancelRetail"), EmptyResult);
    ASSERT_EQ(terminal.requests().size(), 2u);

    // The operation set aside still takes its own reply.
    ASSERT_TRUE(terminal.send(SimOperationReplies::displayReplyTo(terminal.requests().at(0), "01")));
    const QJsonObject keys = operation->result().value("result").toObject();
    EXPECT_TRUE(keys.value("stopKeyPressed").toBool());
    EXPECT_FALSE(keys.value("okKeyPressed").toBool(true));
}
