#include "RetailTestKit.h"
#include "support/TerminalTextCases.h"

#include "translators/JsonZUVATicketGetRequest.h"
#include "translators/JsonZUVATicketGetResponse.h"
#include "translators/JsonZUVATicketPrintAtOnceRequest.h"
#include "translators/JsonZUVATicketPrintAtOnceResponse.h"
#include "translators/JsonZUVATicketPrintRequest.h"
#include "translators/JsonZUVATicketPrintResponse.h"

#include <memory>
#include <string>
#include <vector>

using namespace retailtest;

namespace {

const std::string TextAB = "F018E107D0024377D10101BF81080BDF940E0101DF170341420C";

QJsonObject ticketTransaction(QJsonObject fields)
{
    fields.insert("action", "TicketPrintAtOnce");
    return transactionDocument(fields);
}

// The ticket kind and option byte ("0211": kind 02, options 11), then four empty ticket elements.
std::string heldTicket(const std::string& kindAndOptions)
{
    return "F025E107D0024377D10101BF810818DF946904000000" + kindAndOptions.substr(0, 2) + "DF942801"
           + kindAndOptions.substr(2) + "DF1A00DF940F00DF941100";
}

struct TicketRequests {
    std::shared_ptr<oxa::OXAEnvironment> environment = oxa::makeOXAEnvironment();
    oxa::JsonZUVATicketPrintAtOnceRequest printAtOnce{environment};
    oxa::JsonZUVATicketPrintRequest print{environment};
    oxa::JsonZUVATicketGetRequest get{environment};
};

} // namespace

// Options, language and the rest are not sent with a text.
TEST(TicketRequest, TextIsPrintedWithAFormFeedAndNothingElse)
{
    TicketRequests requests;
    const QJsonObject noisy = ticketTransaction({{"formattedTicketText", "AB"}, {"options", QJsonObject{{"noPaperFeed", true}}},
                                                 {"language", "fr"}, {"layoutIdentifier", "0A1B"}, {"merchantTicket", true}});
    EXPECT_EQ(bodyHex(requests.printAtOnce, 1, noisy), TextAB);
    EXPECT_EQ(bodyHex(requests.print, 1, noisy), TextAB);
    EXPECT_EQ(bodyHex(requests.get, 1, noisy), TextAB);
}

// The fixed options of print and get replace the request's.
TEST(TicketRequest, HeldTicketCarriesKindOptionsAndIdentification)
{
    TicketRequests requests;
    const QJsonObject all{{"noPaperFeed", true}, {"noPaperCut", true}, {"copyAllowed", true}, {"duplicates", true}};
    const struct {
        oxa::JsonTransactionRequest& request;
        QJsonObject fields;
        const char* expected;
    } cases[] = {
        {requests.printAtOnce, {}, "0200"},
        {requests.get, {{"merchantTicket", true}}, "0111"},
        {requests.printAtOnce, {{"options", all}}, "0233"},
        {requests.print, {{"options", all}}, "0200"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.expected);
        EXPECT_EQ(bodyHex(each.request, 1, ticketTransaction(each.fields)), heldTicket(each.expected));
    }
    const QJsonObject identified =
        ticketTransaction({{"language", "fr"}, {"layoutIdentifier", "0a1B"}, {"discreteElements", "010203"}});
    EXPECT_EQ(bodyHex(requests.printAtOnce, 3, identified),
              "F02CE107D0024377D10103BF81081FDF94690400000002DF94280100DF1A026672DF940F020A1BDF941103010203");
    for (const char* key : {"layoutIdentifier", "discreteElements"})
        expectRefusal(requests.get, ticketTransaction({{key, "0A1"}}));
}

// Only the 4-digit message length bounds the bytes: 9999 are sent, 10000 refused.
TEST(TicketRequest, TextLimitInCharactersAndLongLengthForms)
{
    TicketRequests requests;
    const QJsonObject longest = ticketTransaction({{"formattedTicketText", QString(4096, 'A')}});
    EXPECT_EQ(bodyHex(requests.print, 1, longest), "F082101AE107D0024377D10101BF810882100BDF940E0101DF17821001"
                                                       + QByteArray(4096, 'A').toHex().toUpper().toStdString() + "0C");
    expectRefusal(requests.printAtOnce, ticketTransaction({{"formattedTicketText", QString(4097, 'A')}}), 117,
                  ect::ECTErrorCode::Rejected);

    const QString euros(3323, QChar(0x20AC));
    QByteArray body;
    requests.printAtOnce.prepareZUVABody(1, ticketTransaction({{"formattedTicketText", euros}}), body);
    EXPECT_EQ(body.size(), 9999);
    expectRefusal(requests.get, ticketTransaction({{"formattedTicketText", euros + "a"}}), 117,
                  ect::ECTErrorCode::Rejected);
}

TEST(TicketResponse, ReadsTheTicketWhereverItSits)
{
    const std::vector<std::shared_ptr<oxa::JsonZUVAResponse>> responses{
        std::make_shared<oxa::JsonZUVATicketPrintAtOnceResponse>(), std::make_shared<oxa::JsonZUVATicketPrintResponse>(),
        std::make_shared<oxa::JsonZUVATicketGetResponse>()};
    for (const auto& response : responses) {
        EXPECT_EQ(resultOf(*response, "Rw",
                           {element("BF8108", {SimTlv::hex("DF17", "41420C"), SimTlv::hex("DF940F", "0A1B"),
                                               SimTlv::hex("DF9411", "")}),
                            SimTlv::text("DF1A", "fr")}),
                  (QJsonObject{{"formattedTicket", "AB\f"}, {"language", "fr"}, {"layoutIdentifier", "0A1B"},
                               {"discreteElements", ""}}));
        // A line in ISO 8859-1 keeps its letters.
        EXPECT_EQ(resultOf(*response, "Rw", {element("BF8108", {SimTlv::hex("DF17", "434146E90C")})})
                      .value("formattedTicket"),
                  QString::fromUtf8("CAF\xC3\xA9\f"));
        // A line in UTF-8 cut inside its last letter, or with a stray byte, keeps its letters.
        EXPECT_EQ(resultOf(*response, "Rw", {element("BF8108", {SimTlv::hex("DF17", "4372C3A86D6520E2820C41B00C")})})
                      .value("formattedTicket"),
                  QString::fromUtf8("Cr\xC3\xA8me \xEF\xBF\xBD\xEF\xBF\xBD\fA\xEF\xBF\xBD\f"));
        for (const auto& text : testsupport::terminalTextCases())
            EXPECT_EQ(resultOf(*response, "Rw", {element("BF8108", {SimTlv::text("DF17", text.bytes)})})
                          .value("formattedTicket"),
                      text.read)
                << toHex(testsupport::textBytes(text.bytes));
    }
}
