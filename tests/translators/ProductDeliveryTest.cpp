#include "RetailTestKit.h"

#include "engine/core/JsonTransactionRequestHandler.h"
#include "translators/JsonProductDeliveryRequest.h"
#include "translators/JsonProductDeliveryResponse.h"

#include <thread>

using namespace retailtest;

namespace {

using Scope = oxa::JsonProductDeliveryRequest::AnswerScope;

const std::string Accepted = "F01DE107D0025252D10101BF810106DF940D020000BF811606DF9540020000";
const std::string Refused = "F01DE107D0025252D10101BF810106DF940D024400BF811606DF9540020000";

QJsonObject deliveryOf(QJsonObject fields)
{
    fields.insert("action", "ProductDelivery");
    return transactionDocument(fields);
}

// Plays the connection's request handler: prepares each delivery answer it
// is given, as the real one does on the caller's thread.
class Dialogue : public oxa::JsonTransactionRequestHandler {
public:
    void registerTransaction(QString, std::unique_ptr<oxa::JsonTransactionRequest>,
                             std::unique_ptr<oxa::JsonZUVAResponse>, oxa::TransactionMethod) override
    {
    }

    void makeTransaction(QJsonDocument document, std::function<void(QJsonDocument)>&&,
                         std::function<QJsonDocument(QJsonDocument)>&&) override
    {
        bodies.push_back(bodyHex(request, 1, document.object()));
        timeout = request.getTransactionTimeout();
    }

    oxa::JsonProductDeliveryRequest request{environmentWith()};
    QJsonDocument question;
    QJsonDocument out; // what the translator yields
    std::vector<std::string> bodies;
    std::chrono::seconds timeout{0};
};

// Sends the terminal's message through the translator; a question is answered with answer.
std::shared_ptr<Dialogue> ask(const std::vector<SimTlv>& elements, const QJsonDocument& answer,
                              const std::string& type = "CR")
{
    const auto dialogue = std::make_shared<Dialogue>();
    oxa::JsonProductDeliveryResponse response(dialogue);
    Dialogue* const asked = dialogue.get();
    response.handleResponse(bytesOf(testsupport::SimMessage::buildBody(type, 3, elements)), dialogue->out,
                            [asked, answer](QJsonDocument question) {
                                asked->question = question;
                                return answer;
                            });
    return dialogue;
}

QJsonDocument answerOf(const QJsonValue& accepted)
{
    return QJsonDocument(QJsonObject{{"ProductDelivery", QJsonObject{{"deliveryAccepted", accepted}}}});
}

} // namespace

// Only the answer to a waiting sale's question, on that thread, is sent.
TEST(ProductDeliveryRequest, AnswerBytesAndRefusals)
{
    oxa::JsonProductDeliveryRequest request(environmentWith());
    expectRefusal(request, deliveryOf({{"deliveryAccepted", true}}));
    const Scope scope;
    std::thread elsewhere([&request] { expectRefusal(request, deliveryOf({{"deliveryAccepted", true}})); });
    elsewhere.join();
    EXPECT_EQ(bodyHex(request, 1, deliveryOf({{"deliveryAccepted", true}, {"deliveryTimeout", 30}})),
              "F01DE107D0025252D10101BF810106DF940D020000BF811606DF9540020030");
    EXPECT_EQ(request.getTransactionTimeout(), std::chrono::seconds(700));
    const std::string withIdentifier = bodyHex(request, 2, deliveryOf({{"saleSystemActionIdentifier", "0000abcd"}}));
    EXPECT_EQ(withIdentifier.substr(withIdentifier.size() - 28), "DF9540020000DF9464040000ABCD");
    expectRefusal(request, deliveryOf({{"deliveryTimeout", -1}}));
    expectRefusal(request, deliveryOf({{"saleSystemActionIdentifier", "ABCD"}}), 51);
    expectRefusal(request, deliveryOf({{"candidateGroupData", "!!!!"}}));
}

TEST(ProductDeliveryResponse, BareQuestionIsAnsweredAndOnlyATrueAnswerAccepts)
{
    const std::vector<std::pair<QJsonDocument, std::string>> cases{
        {answerOf(true), Accepted}, {answerOf("yes"), Refused}, {QJsonDocument(), Refused}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.first.toJson(QJsonDocument::Compact).toStdString());
        const auto dialogue = ask({}, each.first);
        EXPECT_TRUE(dialogue->out.isEmpty());
        EXPECT_EQ(dialogue->question.object(), (QJsonObject{{"result", QJsonObject{{"productdelivery", true}}}}));
        ASSERT_EQ(dialogue->bodies.size(), 1u);
        EXPECT_EQ(dialogue->bodies.front(), each.second);
        EXPECT_EQ(dialogue->timeout, std::chrono::seconds(670));
        EXPECT_FALSE(Scope::isOpen());
    }
}

// The card and payment fields come from the reader the sale reply shares; here only the delivery's own.
TEST(ProductDeliveryResponse, QuestionCarriesTheCardAndGoesBackWhole)
{
    const SimTlv cardData = element("BF8104", {SimTlv::hex("DF900F", "0035"), SimTlv::text("DF7E", "CRDA"),
                                               SimTlv::text("9F1C", "T1"), SimTlv::hex("DF68", "12345678")});
    const auto dialogue = ask(
        {cardData, element("BF8116", {SimTlv::hex("DF9540", "0045"), SimTlv::hex("DF27", "20240309090507")}),
         SimTlv::hex("DF9464", "0000000A")},
        answerOf(true));
    const QString candidate = bytesOf(cardData.encode()).toBase64();
    EXPECT_EQ(dialogue->question.object().value("result"),
              (QJsonObject{{"productdelivery", true}, {"candidateGroupData", candidate},
                           {"processingApplicationIdentifier", "0035"},
               {"cardBrandName", "CRDA"}, {"terminalIdentifier", "T1"}, {"acquirerIdentifier", "12345678"},
               {"deliveryTimeout", 45}, {"timestamp", "2024-03-09-09-05-07"},
               {"saleSystemActionIdentifier", "0000000A"}}));
    ASSERT_EQ(dialogue->bodies.size(), 1u);
    const std::string& answer = dialogue->bodies.front();
    EXPECT_TRUE(contains(answer, "BF81160EDF9540020045DF9464040000000A")) << answer;
    EXPECT_EQ(answer.substr(answer.size() - cardData.encode().size() * 2), toHex(cardData.encode()));
    EXPECT_EQ(dialogue->timeout, std::chrono::seconds(715));
}

TEST(ProductDeliveryResponse, SaleReplyInsteadOfTheQuestionEndsTheSale)
{
    const auto dialogue = ask(
        {element("BF8116", {SimTlv::hex("DF26", "000000002000"), SimTlv::hex("DF27", "20240309090507")})},
        answerOf(true), "Rd");
    EXPECT_TRUE(dialogue->question.isNull());
    EXPECT_TRUE(dialogue->bodies.empty());
    EXPECT_EQ(dialogue->out.object(), (QJsonObject{{"result", QJsonObject{{"authorizedAmount", 20.0},
                                                                         {"date", "2024-03-09-09-05-07"}}}}));
}
