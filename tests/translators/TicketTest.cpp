#include "RetailTestKit.h"

#include "translators/JsonZUVATicketGetRequest.h"
#include "translators/JsonZUVATicketGetResponse.h"
#include "translators/JsonZUVATicketPrintAtOnceRequest.h"
#include "translators/JsonZUVATicketPrintAtOnceResponse.h"
#include "translators/JsonZUVATicketPrintRequest.h"
#include "translators/JsonZUVATicketPrintResponse.h"

#include <QJsonArray>

#include <memory>
#include <string>
#include <vector>

using namespace retailtest;

namespace {

const std::string TextAB = "F018E107D0024377D10101BF81080BDF940E0101DF170341420C";
const std::string HeldTicketPrefix = "F025E107D0024377D10101BF810818DF946904000000";

QJsonObject ticketTransaction(QJsonObject fields)
{
    fields.insert("action", "TicketPrintAtOnce");
    return transactionDocument(fields);
}

// The four ticket elements that follow the ticket kind and option byte.
std::string heldTicket(const std::string& kind, const std::string& options)
{
    return HeldTicketPrefix + kind + "DF942801" + options + "DF1A00DF940F00DF941100";
}

std::string repeated(const std::string& text, int count)
{
    std::string result;
    for (int i = 0; i < count; ++i)
        result += text;
    return result;
}

struct TicketRequests {
    std::shared_ptr<oxa::OXAEnvironment> environment = oxa::makeOXAEnvironment();
    oxa::JsonZUVATicketPrintAtOnceRequest printAtOnce{environment};
    oxa::JsonZUVATicketPrintRequest print{environment};
    oxa::JsonZUVATicketGetRequest get{environment};
};

} // namespace

TEST(TicketRequest, TextIsPrintedWithAFormFeedAndNothingElse)
{
    TicketRequests requests;
    EXPECT_EQ(bodyHex(requests.printAtOnce, 1, ticketTransaction({{"formattedTicketText", "AB"}})), TextAB);
    // Options, language and the rest are not sent with a text.
    const QJsonObject noisy = ticketTransaction({{"formattedTicketText", "AB"}, {"options", QJsonObject{{"noPaperFeed", true}}},
                                                 {"language", "fr"}, {"layoutIdentifier", "0A1B"}, {"merchantTicket", true}});
    EXPECT_EQ(bodyHex(requests.printAtOnce, 1, noisy), TextAB);
    EXPECT_EQ(bodyHex(requests.print, 1, noisy), TextAB);
    EXPECT_EQ(bodyHex(requests.get, 1, noisy), TextAB);
}

TEST(TicketRequest, HeldTicketCarriesKindOptionsAndIdentification)
{
    TicketRequests requests;
    const QJsonObject bare = ticketTransaction({});
    EXPECT_EQ(bodyHex(requests.printAtOnce, 1, bare), heldTicket("02", "00"));
    EXPECT_EQ(bodyHex(requests.get, 1, transactionDocument({{"action", "TicketGet"}, {"type", "TicketGet"}})),
              "F025E107D0024377D10101BF810818DF94690400000002DF94280111DF1A00DF940F00DF941100");
    EXPECT_EQ(bodyHex(requests.printAtOnce, 1, ticketTransaction({{"merchantTicket", true}})), heldTicket("01", "00"));
    EXPECT_EQ(bodyHex(requests.get, 1, ticketTransaction({{"merchantTicket", true}})), heldTicket("01", "11"));

    const QJsonObject identified =
        ticketTransaction({{"language", "fr"}, {"layoutIdentifier", "0a1B"}, {"discreteElements", "010203"}});
    EXPECT_EQ(bodyHex(requests.printAtOnce, 3, identified),
              "F02CE107D0024377D10103BF81081FDF94690400000002DF94280100DF1A026672DF940F020A1BDF941103010203");
}

TEST(TicketRequest, OptionByteFollowsTheOptionsOrTheActionsFixedOnes)
{
    TicketRequests requests;
    const auto withOptions = [](const QJsonObject& options) { return ticketTransaction({{"options", options}}); };
    const QJsonObject all{{"noPaperFeed", true}, {"noPaperCut", true}, {"copyAllowed", true}, {"duplicates", true}};
    const std::vector<std::pair<QJsonObject, std::string>> cases{
        {all, "33"}, {{{"copyAllowed", true}}, "10"}, {{{"duplicates", true}, {"copyAllowed", "yes"}}, "20"}};
    for (const auto& each : cases)
        EXPECT_EQ(bodyHex(requests.printAtOnce, 1, withOptions(each.first)), heldTicket("02", each.second));
    // The fixed options of print and get replace the request's.
    EXPECT_EQ(bodyHex(requests.print, 1, withOptions(all)), heldTicket("02", "00"));
    EXPECT_EQ(bodyHex(requests.get, 1, withOptions(QJsonObject())), heldTicket("02", "11"));
}

TEST(TicketRequest, TextLimitInCharactersAndLongLengthForms)
{
    TicketRequests requests;
    const std::string longest(4096, 'A');
    EXPECT_EQ(bodyHex(requests.print, 1, ticketTransaction({{"formattedTicketText", QString::fromStdString(longest)}})),
              "F082101AE107D0024377D10101BF810882100BDF940E0101DF17821001" + repeated("41", 4096) + "0C");

    expectRefusal(requests.printAtOnce, ticketTransaction({{"formattedTicketText", QString(4097, 'A')}}), 117,
                  ect::ECTErrorCode::Rejected);

    // Only the 4-digit message length bounds the bytes: 9999 are sent, 10000 refused.
    const QString euros(3323, QChar(0x20AC));
    QByteArray body;
    requests.printAtOnce.prepareZUVABody(1, ticketTransaction({{"formattedTicketText", euros}}), body);
    EXPECT_EQ(body.size(), 9999);
    EXPECT_EQ(hexOf(body.left(16)), "F082270BE107D0024377D10101BF8108");
    expectRefusal(requests.get, ticketTransaction({{"formattedTicketText", euros + "a"}}), 117,
                  ect::ECTErrorCode::Rejected);
}

TEST(TicketRequest, RefusesUnusableDocumentsAndIdentifiers)
{
    TicketRequests requests;
    EXPECT_EQ(invalidArgumentOf(requests.printAtOnce, transactionDocument({})), "Invalid JSON");
    // The fixed options always give print and get a transaction to read.
    EXPECT_EQ(bodyHex(requests.get, 1, QJsonObject()), heldTicket("02", "11"));

    for (const QJsonValue& bad : {QJsonValue("0A1"), QJsonValue(12)}) {
        for (const char* key : {"layoutIdentifier", "discreteElements"})
            expectRefusal(requests.get, ticketTransaction({{key, bad}}));
    }
}

TEST(TicketResponse, ReadsTheTicketWhereverItSits)
{
    const std::vector<std::shared_ptr<oxa::JsonZUVAResponse>> responses{
        std::make_shared<oxa::JsonZUVATicketPrintAtOnceResponse>(), std::make_shared<oxa::JsonZUVATicketPrintResponse>(),
        std::make_shared<oxa::JsonZUVATicketGetResponse>()};
    for (const auto& response : responses) {
        const QJsonObject nested = translate(
            *response, "Rw",
            {element("BF8108", {SimTlv::hex("DF17", "41420C"), SimTlv::text("DF1A", "fr"), SimTlv::hex("DF940F", "0A1B"),
                                SimTlv::hex("DF9411", "")})});
        EXPECT_EQ(nested, (QJsonObject{{"result", QJsonObject{{"formattedTicket", "AB\f"}, {"language", "fr"},
                                                               {"layoutIdentifier", "0A1B"}, {"discreteElements", ""}}}}));
        EXPECT_EQ(translate(*response, "Rw", {SimTlv::text("DF1A", "de")}),
                  (QJsonObject{{"result", QJsonObject{{"language", "de"}}}}));
    }
}

