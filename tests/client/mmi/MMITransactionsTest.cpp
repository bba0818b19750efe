#include "MMIFlowTestSupport.h"
#include "client/FakeSend.h"
#include "client/mmi/CancelPasswordValidation.h"
#include "client/mmi/MMICloseTransaction.h"
#include "client/mmi/MMIOpenTransaction.h"
#include "client/mmi/MMITransaction.h"
#include "client/mmi/MMITransactionResult.h"
#include "client/mmi/ResetScreen.h"
#include "client/mmi/ShowMessage.h"
#include "client/mmi/VerifyPin.h"
#include "client/mmi/VerifyPinFlow.h"
#include "support/QtWarnings.h"

#include <json/reader.h>

#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <functional>

using namespace ect;
using namespace mmitest;

namespace {

Json::Value parsed(const char* text)
{
    Json::Value value;
    Json::Reader().parse(text, value, false);
    return value;
}

const char* const Opened = R"({"result":{}})";
const char* const Ok = R"({"result":{"okKeyPressed":true,"stopKeyPressed":false,"aborted":false}})";
const char* const NoKey = R"({"result":{"okKeyPressed":false,"stopKeyPressed":false,"aborted":false}})";
const char* const Stop = R"({"result":{"stopKeyPressed":true}})";
const char* const Aborted = R"({"result":{"aborted":true}})";
const char* const FlagAsText = R"({"result":{"stopKeyPressed":"no"}})";
const char* const Wrong = R"({"error":{"code":1,"causeCode":19,"incidentCode":{"code":"2630"}}})";
const char* const WrongAndReset = R"({"error":{"code":2,"causeCode":30,"incidentCode":{"code":"2630"}}})";
const char* const PinTimeout = R"({"error":{"code":5,"incidentCode":{"code":"1803"}}})";
const char* const Reset = R"({"error":{"code":2,"causeCode":30}})";
const char* const EngineTimeout = R"({"error":{"code":5}})";
const char* const CodeOnly = R"({"error":{"code":2}})";
const char* const Busy = R"({"error":{"code":1,"causeCode":14}})";
const char* const NotConnected =
    R"({"error":{"code":2,"causeCode":15,"extraInformation":[{"key":"reason","val":"gone"}]}})";
const char* const OtherIncident = R"({"error":{"code":1,"causeCode":19,"incidentCode":{"code":"4401"}}})";
const char* const Refused = R"({"error":{"code":1,"causeCode":20,"rejectionCode":{"code":"05"}}})";
const char* const LeftFromElsewhere =
    R"({"error":{"code":2,"causeCode":18,"extraInformation":[{"key":"attemptsLeft","val":"3"}]}})";

// Answers every request in order, as a terminal would: the open with
// openReply, each PIN entry with the next of entries (then Ok), other
// operations with Ok, a close with an empty result. Returns the requests
// (" text" marks a display with free text).
std::string run(clienttest::FakeSend& fake, std::deque<const char*> entries, const char* openReply = Opened)
{
    std::vector<std::string> requests;
    for (std::size_t index = 0; index < fake.count(); ++index) {
        const Json::Value request = fake.request(index);
        const std::string action = request["action"].asString();
        const bool pin = request.isMember("encryptedPin");
        const char* reply = action == "MMIOpen" ? openReply : action == "MMIClose" ? Opened : Ok;
        if (pin && !entries.empty()) {
            reply = entries.front();
            entries.pop_front();
        }
        requests.push_back(action == "MMIOpen"    ? "Ck"
                           : action == "MMIClose" ? "Cl"
                                                  : screen(request["firstTextIdentifier"].asString(),
                                                           request["secondTextIdentifier"].asString(),
                                                           request["displayTimeout"].asInt(), pin) +
                                                        (request.isMember("freeText") ? " text" : ""));
        fake.finish(index, reply);
    }
    return joined(requests);
}

struct Row {
    int maxAttempts;
    std::deque<const char*> entries;
    const char* host;
    const char* requests;
    const char* openReply = Opened;
};

// Runs each row on a terminal of its own with the transaction start(row, callback) makes.
template <std::size_t Rows, typename Start>
void expectRows(const Row (&rows)[Rows], Start start)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host);
        clienttest::FakeSend fake;
        std::vector<std::string> host;
        fake.terminal->makeTransaction(start(row, [&](const VerifyPinResult& result) {
            host.push_back(result.terminalIdentifier() == "T1" ? summary(result) : "other terminal");
        }));
        EXPECT_EQ(row.requests, run(fake, row.entries, row.openReply));
        EXPECT_EQ(std::vector<std::string>{row.host}, host);
    }
}

} // namespace

// Malformed flags make an error, not a "no key pressed" that a PIN flow
// would take for an accepted PIN.
TEST(MMIResultsTest, KeyFlagsAndErrors)
{
    const struct {
        const char* reply;
        const char* error;
        const char* keys; // ok, stop, aborted
    } rows[] = {
        {R"({"result":{}})", "ok", "000"},
        {R"({"result":{"stopKeyPressed":1,"aborted":null}})", "ok", "010"},
        {R"({"result":{"okKeyPressed":true},"error":{"code":5}})", "5/0", "000"},
        {"not json", "2/16", "000"},
        {R"({"result":{"okKeyPressed":"true"}})", "2/16", "000"},
        {R"({"result":{"okKeyPressed":true,"stopKeyPressed":[]}})", "2/16", "000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply);
        const MMITransactionResult result("MMITransaction", row.reply, "T1");
        EXPECT_EQ(row.error, errorText(result.error()));
        const std::string keys{char('0' + result.okKeyPressed()), char('0' + result.stopKeyPressed()),
                               char('0' + result.aborted())};
        EXPECT_EQ(row.keys, keys);
    }
}

TEST(MMIResultsTest, AttemptsLeftNeverThrowsAndFitsAnInt)
{
    const auto left = [](const char* value) {
        return std::string(R"({"error":{"code":1,"extraInformation":[{"key":"attemptsLeft","val":")") + value +
               R"("}]}})";
    };
    const std::pair<std::string, const char*> rows[] = {
        {R"({ "result": { "attemptsLeft": 1 } } )", "ok left=1"},
        {R"({"result":{"attemptsLeft":99999999999}})", "ok left=2147483647"},
        {left("0"), "1/0 left=0"},
        {left(" -2x"), "1/0 left=-2"},
        {left("4294967297"), "1/0 left=2147483647"},
        {left("-4294967297"), "1/0 left=-2147483648"},
        {R"({"error":{"code":1},"result":{"attemptsLeft":3}})", "1/0 left=0"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.second, summary(VerifyPinResult("MMITransaction", row.first, "T1"))) << row.first;
}

TEST(MMIRequestsTest, RequestsCarryTheirValuesAsTheyStand)
{
    clienttest::FakeSend fake;
    const auto record = [](const MMITransactionResult&) {};
    // Sends, answers with an empty result and returns the last request (a message's display operation).
    const auto send = [&](Transaction&& transaction) {
        fake.terminal->makeTransaction(std::move(transaction));
        fake.finish(fake.count() - 1, R"({"result":{}})");
        return fake.request(fake.count() - 1);
    };
    MMIParameter every;
    every.displayTimeout = 30;
    every.firstTextIdentifier = 26;
    every.firstTextLanguage = "fr";
    every.secondTextIdentifier = 14;
    every.secondTextLanguage = "de";
    every.freeText = FreeText("a", "", "", "d");
    every.encryptedPin = EncryptedData("01", 300, "FF", "zz", ECTEncryptionAlgorithm::None);
    EXPECT_EQ(parsed(R"({"action":"MMIOpen"})"), send(MMIOpenTransaction(record)));
    EXPECT_EQ(parsed(R"({"action":"MMIClose"})"), send(MMICloseTransaction(record)));
    EXPECT_EQ(parsed(R"({"action":"MMIClose","type":"MMIClose"})"), send(ResetScreen()));
    EXPECT_EQ(parsed(R"({"action":"MMITransaction","displayTimeout":30,
                         "firstTextIdentifier":26,"firstTextLanguage":"fr",
                         "secondTextIdentifier":14,"secondTextLanguage":"de",
                         "freeText":{"text_1":"a","text_2":"","text_3":"","text_4":"d"},
                         "encryptedPin":{"algorithm":"None","encryptedPin":"01","keyIndex":300,
                                         "keySerialNumber":"FF","encryptionData":"zz"}})"),
              send(MMITransaction(every, record)));
    EXPECT_EQ(parsed(R"({"action":"MMITransaction","displayTimeout":5,"firstTextIdentifier":40,"firstTextLanguage":"de",
                         "secondTextIdentifier":14,"secondTextLanguage":"de",
                         "freeText":{"text_1":"x","text_2":"","text_3":"","text_4":""}})"),
              send(ShowMessage(40, "de", 5, FreeText("x", "", "", ""), record)));
}

TEST(MMIRequestsTest, MovedFromAndCancellingObjectsSendNothing)
{
    clienttest::FakeSend fake;
    int calls = 0;
    VerifyPinFlow flow(mmitest::Pin, "fr", 30, 3, false, [&](const VerifyPinResult&) { ++calls; });
    MMITransaction operation(MMIParameter(), [&](const MMITransactionResult&) { ++calls; });
    fake.terminal->makeTransaction(std::move(flow));
    fake.terminal->makeTransaction(std::move(operation));
    ASSERT_EQ(2u, fake.count());
    flow.setFreeText(FreeText("", "", "", "")).setSuccessNextMessageData(5, 40, boost::none);
    fake.terminal->makeTransaction(std::move(flow));
    fake.terminal->makeTransaction(std::move(operation));
    fake.terminal->makeTransaction(CancelPasswordValidation());
    EXPECT_EQ(2u, fake.count());
    EXPECT_EQ(0, calls);
}

TEST(PinDecisionTest, SinglePinEntry)
{
    const Row rows[] = {
        {1, {Ok}, "ok left=1", "Ck, Cm26/14 t30 pin"},
        // Only the OK key accepts a PIN.
        {1, {NoKey}, "2/16 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {Wrong}, "1/19 2630 left=0", "Ck, Cm26/14 t30 pin"},
        {1, {PinTimeout}, "5/0 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {Reset}, "1/31 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {EngineTimeout}, "5/0 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {CodeOnly}, "1/31 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {NotConnected}, "2/15 reason=gone left=1", "Ck, Cm26/14 t30 pin"},
        {1, {Stop}, "1/200 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {Aborted}, "1/31 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {FlagAsText}, "2/16 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {OtherIncident}, "1/19 4401 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {Refused}, "1/20 rej=05 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {LeftFromElsewhere}, "2/18 left=1", "Ck, Cm26/14 t30 pin"},
        {1, {}, "1/14 left=0", "Ck", Busy},
    };
    expectRows(rows, [](const Row&, VerifyPin::Callback callback) {
        return VerifyPin(Pin, 26, "fr", 30, std::move(callback));
    });
}

TEST(PinDecisionTest, FlowWithRetries)
{
    const Row rows[] = {
        {3, {WrongAndReset, Ok}, "ok left=2", "Ck, Cm26/14 t30 pin, Cm27/14 t30 pin, Cm19/14 t2, Cl"},
        {1, {Ok}, "ok left=1", "Ck, Cm28/14 t30 pin, Cm19/14 t2, Cl"},
        {1, {NoKey}, "2/16 left=1", "Ck, Cm28/14 t30 pin, Cm6/14 t2, Cl"},
        {3, {Wrong, NoKey}, "2/16 left=2", "Ck, Cm26/14 t30 pin, Cm27/14 t30 pin, Cm6/14 t2, Cl"},
        {4, {Wrong, Wrong, Wrong, Ok}, "ok left=1",
         "Ck, Cm26/14 t30 pin, Cm27/14 t30 pin, Cm27/14 t30 pin, Cm28/14 t30 pin, Cm19/14 t2, Cl"},
        {3, {Reset}, "1/31 left=3", "Ck, Cm26/14 t30 pin, Cm6/14 t2, Cl"},
        {3, {NotConnected}, "2/15 reason=gone left=3", "Ck, Cm26/14 t30 pin, Cm6/14 t2, Cl"},
        {3, {PinTimeout}, "1/19 1803 left=3", "Ck, Cm26/14 t30 pin, Cm6/14 t2, Cl"},
        {3, {Wrong, Aborted}, "1/31 left=2", "Ck, Cm26/14 t30 pin, Cm27/14 t30 pin, Cm6/14 t2, Cl"},
        {3, {}, "1/14 left=3", "Ck", Busy},
        {0, {Wrong}, "1/19 2630 left=-1", "Ck, Cm26/14 t30 pin, Cm6/14 t2, Cl"},
        // Counted in 64 bits, held to int by the result.
        {INT_MAX, {Stop}, "1/200 left=2147483647", "Ck, Cm26/14 t30 pin, Cm6/14 t2, Cl"},
        {INT_MIN, {Wrong}, "1/19 2630 left=-2147483648", "Ck, Cm26/14 t30 pin, Cm6/14 t2, Cl"},
    };
    expectRows(rows, [](const Row& row, VerifyPinFlow::Callback callback) {
        return VerifyPinFlow(Pin, "fr", 30, row.maxAttempts, false, std::move(callback));
    });
}

// The prompt's free text, from the constructor or the setter, stays off the
// closing screen; the closing screen is on its way when the host hears (the
// count of requests sent by then), and shows no second text when a follow-up
// message of that outcome comes next; then the MMI close unless kept open.
TEST(PinDecisionTest, ClosingStepsAndFollowUps)
{
    const FreeText text("a", "", "", "");
    const struct {
        int maxAttempts;
        bool keepMMIOpen;
        bool textByConstructor;
        std::function<void(VerifyPinFlow&)> set;
        std::deque<const char*> entries;
        const char* host;
        const char* requests;
    } rows[] = {
        {1, true, false, [](VerifyPinFlow& flow) { flow.setFailNextMessageData(5, 41, boost::none); }, {Wrong},
         "1/19 2630 left=0 after 3", "Ck, Cm28/14 t30 pin, Cm6 t2, Cm41/14 t5"},
        {1, false, false,
         [&](VerifyPinFlow& flow) { flow.setSuccessNextMessageData(5, 40, text).setFailNextMessageData(6, 41, {}); },
         {Ok}, "ok left=1 after 3", "Ck, Cm28/14 t30 pin, Cm19 t2, Cm40/14 t5 text, Cl"},
        {2, false, true, [](VerifyPinFlow&) {}, {Wrong, Stop}, "1/200 left=1 after 4",
         "Ck, Cm26/14 t30 pin text, Cm28/14 t30 pin text, Cm6/14 t2, Cl"},
        {1, false, false, [&](VerifyPinFlow& flow) { flow.setFreeText(text); }, {Ok}, "ok left=1 after 3",
         "Ck, Cm28/14 t30 pin text, Cm19/14 t2, Cl"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.requests);
        clienttest::FakeSend fake;
        std::vector<std::string> host;
        const auto callback = [&](const VerifyPinResult& result) {
            host.push_back(summary(result) + " after " + std::to_string(fake.count()));
        };
        VerifyPinFlow flow = row.textByConstructor
                                 ? VerifyPinFlow(Pin, "fr", 30, row.maxAttempts, text, row.keepMMIOpen, callback)
                                 : VerifyPinFlow(Pin, "fr", 30, row.maxAttempts, row.keepMMIOpen, callback);
        row.set(flow);
        fake.terminal->makeTransaction(std::move(flow));
        EXPECT_EQ(row.requests, run(fake, row.entries));
        EXPECT_EQ(std::vector<std::string>{row.host}, host);
    }
}

TEST(PinDecisionTest, EmptyCallbacksAreSkippedAndFlowsStillClose)
{
    const testsupport::QtWarnings warnings; // a call to an empty callback would be logged, not thrown to the test
    clienttest::FakeSend fake;
    fake.terminal->makeTransaction(VerifyPinFlow(Pin, "fr", 30, 2, false, nullptr));
    fake.terminal->makeTransaction(VerifyPin(Pin, 26, "fr", 30, nullptr));
    fake.terminal->makeTransaction(ShowMessage(40, "fr", 5, nullptr));
    fake.terminal->makeTransaction(MMIOpenTransaction(nullptr));
    // The single entry is wrong; the flow's second entry is accepted.
    EXPECT_EQ("Ck, Ck, Ck, Ck, Cm26/14 t30 pin, Cm26/14 t30 pin, Cm40/14 t5, Cm28/14 t30 pin, Cm19/14 t2, Cl",
              run(fake, {Wrong, Wrong, Ok}));
    EXPECT_TRUE(warnings.text().isEmpty()) << warnings.text().toStdString();
}
