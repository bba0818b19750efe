#include "engine/service/ServiceFixture.h"
#include "support/SimOperationReplies.h"

#include <QJsonArray>

#include <cstdio>
#include <utility>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const std::string TerminalId = "TERM0001";

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

std::string requestOf(const std::string& action, const std::string& fields)
{
    return R"({"transaction": {"action": ")" + action + R"(", "type": ")" + action + "\""
           + (fields.empty() ? "" : ", " + fields) + "}}";
}

std::string requestOf(const Action& action)
{
    return requestOf(action.name, action.fields);
}

std::string withSequence(const char* pattern, int sequence)
{
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02d", sequence);
    std::string text = pattern;
    text.replace(text.find("%s"), 2, digits);
    return text;
}

QJsonObject objectOf(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

int codeOf(const QJsonObject& document)
{
    return errorOf(document).value("code").toInt();
}

int causeOf(const QJsonObject& document)
{
    return errorOf(document).value("causeCode").toInt();
}

class OperationServices : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        terminal = connectTerminal(TerminalId);
        SimOperationReplies::answerAll(*terminal);
    }

    // Sends the request and waits for its one result (and the release of its user data).
    QJsonObject run(const std::string& request)
    {
        const size_t before = host.count("result");
        EXPECT_EQ(host.send(TerminalId, request), 0) << request;
        EXPECT_TRUE(host.waitFor("free", before + 1)) << request;
        EXPECT_EQ(host.count("result"), before + 1) << request;
        return host.documents("result").at(before);
    }

    // Sends a request the library must refuse before anything reaches the terminal.
    QJsonObject refused(const std::string& request)
    {
        const size_t before = host.count("result");
        const size_t sent = terminal->requests().size();
        EXPECT_EQ(host.send(TerminalId, request), -1) << request;
        EXPECT_EQ(host.count("result"), before + 1) << request;
        EXPECT_EQ(terminal->requests().size(), sent) << request;
        return host.documents("result").at(before);
    }

    std::unique_ptr<SimTerminal> terminal;
};

} // namespace

TEST_F(OperationServices, EveryActionReachesTheTerminalAndReturnsItsResult)
{
    int sequence = 0;
    for (const Action& action : Actions) {
        const QJsonObject document = run(requestOf(action));
        ++sequence;
        EXPECT_EQ(document, (QJsonObject{{"result", objectOf(action.result)}})) << action.name;
        const SimMessage request = terminal->requests().at(static_cast<size_t>(sequence - 1));
        EXPECT_EQ(request.type, action.type) << action.name;
        EXPECT_EQ(toHex(request.body), withSequence(action.body, sequence)) << action.name;
        EXPECT_EQ(request.announcedLength(), static_cast<int>(request.body.size())) << action.name;
    }
}

TEST_F(OperationServices, RejectionsAndIncidentsFailEveryAction)
{
    const auto rejecting = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::rejectionOf(request, "0102"));
    };
    const auto incident = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::incidentReplyTo(request, "2001", "REFUSED"));
    };
    struct Outcome {
        SimTerminal::Responder responder;
        int code;
        int cause;
    };
    for (const Outcome& outcome : {Outcome{rejecting, 1, 20}, Outcome{incident, 1, 19}}) {
        for (const char* type : {"Cw", "Co", "Cm", "Ck", "Cl"})
            terminal->on(type, outcome.responder);
        for (const Action& action : Actions) {
            const QJsonObject document = run(requestOf(action));
            EXPECT_FALSE(document.contains("result")) << action.name;
            EXPECT_EQ(codeOf(document), outcome.code) << action.name;
            EXPECT_EQ(causeOf(document), outcome.cause) << action.name;
        }
    }
}

TEST_F(OperationServices, UnsendableRequestsAreRefusedBeforeSending)
{
    struct Refusal {
        const char* action;
        std::string fields;
        int code;
        int cause;
    };
    const std::string euros = "\xE2\x82\xAC";
    std::string tooManyBytes;
    for (int i = 0; i < 3400; ++i)
        tooManyBytes += euros;
    const std::vector<Refusal> refusals{
        {"TicketPrintAtOnce", R"("formattedTicketText": ")" + std::string(4097, 'A') + "\"", 1, 117},
        {"PrintTicket", R"("formattedTicketText": ")" + tooManyBytes + "\"", 1, 117},
        {"TicketGet", R"("layoutIdentifier": "0A1")", 2, 15},
        {"CancelRetail", R"("saleSystemActionIdentifier": 42)", 2, 15},
        {"CancelRetail", R"("saleSystemActionIdentifier": "XYZ")", 2, 15},
        {"BackupMode", R"("saleSystemActionIdentifier": null, "enabled": true)", 2, 15},
        {"BackupModeStatus", R"("cardBrandIdentifier": "12AB")", 2, 15},
        {"MMITransaction", R"("displayTimeout": 30, "encryptedPin": {"keyIndex": 256})", 2, 15},
        {"MMITransaction", R"("displayTimeout": 10000)", 2, 15},
        {"MMITransaction", R"("displayTimeout": 30, "freeText": {"text_2": ")" + std::string(21, 'X') + "\"}", 1, 51},
    };
    for (const Refusal& refusal : refusals) {
        const QJsonObject document = refused(requestOf(refusal.action, refusal.fields));
        EXPECT_EQ(codeOf(document), refusal.code) << refusal.action << " " << refusal.fields.substr(0, 60);
        EXPECT_EQ(causeOf(document), refusal.cause) << refusal.action << " " << refusal.fields.substr(0, 60);
    }
    // The connection is still usable.
    EXPECT_EQ(run(requestOf("MMIOpen", "")), (QJsonObject{{"result", QJsonObject()}}));
}

TEST_F(OperationServices, RepliesWithoutTheirResultAreInvalidResponses)
{
    terminal->on("Cm", [](const SimMessage& request) { return SimTerminal::answer(SimTerminal::replyTo(request)); });
    terminal->on("Co", [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::replyTo(
            request, {SimTlv::constructed(fromHex("BF8104"), {SimTlv::text("DF9405", "1")})}));
    });
    for (const char* action : {"MMITransaction", "BackupModeStatus"}) {
        const QJsonObject document = run(requestOf(action, R"("displayTimeout": 30)"));
        EXPECT_EQ(codeOf(document), 2) << action;
        EXPECT_EQ(causeOf(document), 16) << action;
    }
    // Replies that carry nothing to read are results all the same.
    EXPECT_EQ(run(requestOf("CancelRetail", "")), (QJsonObject{{"result", QJsonObject()}}));
}

TEST_F(OperationServices, CloseDuringADisplayOperationFailsItOnceAndIsSentAtOnce)
{
    terminal->on("Cm", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_EQ(host.send(TerminalId, requestOf("MMITransaction", R"("displayTimeout": 60)")), 0);
    ASSERT_TRUE(terminal->waitForRequests(1));

    ASSERT_EQ(host.send(TerminalId, requestOf("MMIClose", "")), 0);
    ASSERT_TRUE(host.waitFor("free", 2));
    // The close's reply may overtake the dropped operation's failure.
    std::vector<QJsonObject> results = host.documents("result");
    ASSERT_EQ(results.size(), 2u);
    if (results[0].contains("result"))
        std::swap(results[0], results[1]);
    EXPECT_EQ(codeOf(results[0]), 2);
    EXPECT_EQ(causeOf(results[0]), 30);
    EXPECT_EQ(results[1], (QJsonObject{{"result", QJsonObject()}}));
    const auto requests = terminal->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].type, "Cl");

    // A late answer to the dropped operation reaches nobody.
    ASSERT_TRUE(terminal->send(SimOperationReplies::displayReplyTo(requests[0], "00")));
    EXPECT_EQ(run(requestOf("MMIOpen", "")), (QJsonObject{{"result", QJsonObject()}}));
    EXPECT_EQ(host.count("result"), 3u);
}

TEST_F(OperationServices, CancellationSetsTheOperationInFlightAside)
{
    terminal->on("Cm", [](const SimMessage&) { return SimTerminal::silence(); });
    ASSERT_EQ(host.send(TerminalId, requestOf("MMITransaction", R"("displayTimeout": 60)")), 0);
    ASSERT_TRUE(terminal->waitForRequests(1));

    // A sequential request is refused while the operation is in flight; a cancellation is not.
    const QJsonObject busy = run(requestOf("TicketGet", ""));
    EXPECT_EQ(codeOf(busy), 1);
    EXPECT_EQ(causeOf(busy), 14);
    EXPECT_EQ(run(requestOf("CancelRetail", "")), (QJsonObject{{"result", QJsonObject()}}));
    ASSERT_EQ(terminal->requests().size(), 2u);

    // The operation set aside still takes its own reply.
    ASSERT_TRUE(terminal->send(SimOperationReplies::displayReplyTo(terminal->requests().at(0), "01")));
    ASSERT_TRUE(host.waitFor("free", 3));
    ASSERT_EQ(host.count("result"), 3u);
    const QJsonObject operation = host.documents("result").at(2).value("result").toObject();
    EXPECT_TRUE(operation.value("stopKeyPressed").toBool());
    EXPECT_FALSE(operation.value("okKeyPressed").toBool(true));
}
