#include "RetailTestKit.h"

#include "translators/JsonZUVASaleTransactionRequest.h"

using namespace retailtest;

namespace {

QJsonObject saleOf(const QString& action, QJsonObject fields = QJsonObject())
{
    fields.insert("action", action);
    if (!fields.contains("amount"))
        fields.insert("amount", "12.50");
    return transactionDocument(fields);
}

// The expected body, built with the simulated terminal's own codec.
std::string expectedBody(int sequence, const std::vector<SimTlv>& serviceData, const std::vector<SimTlv>& more = {})
{
    std::vector<SimTlv> elements{element("BF8116", serviceData)};
    elements.insert(elements.end(), more.begin(), more.end());
    return toHex(testsupport::SimMessage::buildBody("Cd", sequence, elements));
}

SimTlv hex(const std::string& tag, const std::string& value)
{
    return SimTlv::hex(tag, value);
}

struct ActionCase {
    const char* action;
    const char* serviceIdentifier;
    bool sendsAuthorizationCode;
};

// Every action with an amount, a cash-back amount and an authorization code.
const ActionCase kActionCases[] = {
    {"Sale", "8810", false},
    {"CancelSale", "8891", true},
    {"Reservation", "8830", false},
    {"CancelReservation", "8893", true},
    {"SaleAfterReservation", "8843", true},
    {"CancelSaleAfterReservation", "8894", true},
    {"Refund", "8860", false},
    {"SaleAfterVoiceReferral", "8811", true},
    {"CashAdvance", "8820", false},
    {"CancelCashAdvance", "8892", true},
    {"CashAdvanceAfterVoiceReferral", "8822", false},
};

} // namespace

TEST(SaleRequest, EachActionCarriesItsServiceAndOnlyItsOwnElements)
{
    for (const ActionCase& action : kActionCases) {
        SCOPED_TRACE(action.action);
        oxa::JsonZUVASaleTransactionRequest request(environmentWith());
        std::vector<SimTlv> service{hex("DF9468", "0045"), hex("DF21", action.serviceIdentifier),
                                    hex("DF50", "000000001250"), hex("5F2A", "0978")};
        if (action.sendsAuthorizationCode)
            service.push_back(SimTlv::text("89", "A1B2C3"));
        const QJsonObject fields{{"cashbackAmount", "5.00"}, {"authorizationCode", "A1B2C3"}};
        EXPECT_EQ(bodyHex(request, 12, saleOf(action.action, fields)), expectedBody(12, service));
    }
}

// An unset recognition time is sent as 0 and leaves the bare 670 s.
TEST(SaleRequest, WaitsForTheRecognitionTimeItSends)
{
    const struct {
        QJsonObject settings;
        const char* sent;
        long long waited;
    } cases[] = {{{}, "DF9468020045", 715}, {defaultSettingsWith("cardRecognitionTimeout"), "DF9468020000", 670}};
    for (const auto& each : cases) {
        oxa::JsonZUVASaleTransactionRequest request(environmentWith(each.settings));
        EXPECT_TRUE(contains(bodyHex(request, 1, saleOf("Sale")), each.sent)) << each.sent;
        EXPECT_EQ(request.getTransactionTimeout().count(), each.waited) << each.sent;
    }
}

TEST(SaleRequest, CashbackSendsTheTotalAndBothAmounts)
{
    oxa::JsonZUVASaleTransactionRequest request(environmentWith());
    const QJsonObject fields{{"amount", "10.00"}, {"cashbackAmount", "5.00"}};
    const std::vector<SimTlv> service{
        hex("DF9468", "0045"), hex("DF21", "8810"), hex("DF50", "000000001500"), hex("5F2A", "0978"),
        element("EA", {element("EF", {hex("DF23", "0001"), hex("DF24", "000000001000")}),
                       element("EF", {hex("DF23", "0003"), hex("DF24", "000000000500")})})};
    EXPECT_EQ(bodyHex(request, 3, saleOf("SaleWithCashback", fields)), expectedBody(3, service));
    expectRefusal(request, saleOf("SaleWithCashback"), 118, ect::ECTErrorCode::Rejected);
}

TEST(SaleRequest, DeliveryConfirmationDefaultsTheIdentifierAndAsksForConfirmation)
{
    oxa::JsonZUVASaleTransactionRequest request(environmentWith());
    const std::vector<SimTlv> service{hex("DF9468", "0045"), hex("DF9464", "00000000"), hex("DF21", "8810"),
                                      hex("DF50", "000000001250"), hex("5F2A", "0978")};
    const SimTlv confirmation = element("BF8101", {hex("DF953F", "80000000")});
    EXPECT_EQ(bodyHex(request, 4, saleOf("SaleWithDeliveryConfirmation")), expectedBody(4, service, {confirmation}));
}

TEST(SaleRequest, OptionalFieldsInTheirPlaces)
{
    oxa::JsonZUVASaleTransactionRequest request(environmentWith());
    const QString longestReference(100, 'R');
    const QJsonObject fields{{"smartPay", true}, {"merchantReference", longestReference}, {"discretionaryData", "c0ffee"},
                             {"proprietaryData", "ABCD"}, {"saleSystemActionIdentifier", "12345678"},
                             {"cardBrandIdentifiersFilter", 0x5}};
    const std::vector<SimTlv> service{hex("DF9468", "0045"), hex("DF9464", "12345678"), hex("DF21", "8810"),
                                      hex("DF50", "000000001250"), hex("5F2A", "0978"), hex("DF9462", "03"),
                                      hex("DF9465", "01"), SimTlv::text("DF22", longestReference.toStdString()), hex("DF9460", "C0FFEE")};
    const SimTlv filter = element(
        "BF8104", {element("BF8105", {element("EF", {hex("DF5F", "1001"), hex("DF900F", "0035"), hex("DF9015", "01")}),
                                      element("EF", {hex("DF5F", "1009"), hex("DF900F", "0035"), hex("DF9015", "02")})})});
    EXPECT_EQ(bodyHex(request, 5, saleOf("Sale", fields)),
              expectedBody(5, service, {element("BF8101", {hex("DF9413", "ABCD")}), filter}));
    // Acquirer data wins over discretionary data and travels as a DF30 element.
    const QJsonObject both{{"discretionaryData", "C0FFEE"}, {"acquirerDiscretionaryData", "AB"}};
    EXPECT_TRUE(contains(bodyHex(request, 5, saleOf("Sale", both)), "DF946005DF30024142"));
}

TEST(SaleRequest, RefusesInvalidFieldsAndUnusableSettingsWithTheirCauses)
{
    const QJsonObject delivery = saleOf("SaleWithDeliveryConfirmation");
    const struct {
        const char* name;
        QJsonObject document;
        ect::ECTErrorCode code;
        int cause;
        QJsonObject settings;
    } cases[] = {
        {"no amount", transactionDocument({{"action", "CancelSale"}}), ect::ECTErrorCode::Rejected, 112, {}},
        {"long merchant reference", saleOf("Sale", {{"merchantReference", QString(101, 'R')}}),
         ect::ECTErrorCode::Rejected, 114, {}},
        {"odd discretionary", saleOf("Sale", {{"discretionaryData", "ABC"}}), ect::ECTErrorCode::Rejected, 116, {}},
        {"non-hex proprietary", saleOf("Sale", {{"proprietaryData", "0x12"}}), ect::ECTErrorCode::Rejected, 120, {}},
        {"non-hex identifier", saleOf("Sale", {{"saleSystemActionIdentifier", "1234567Z"}}),
         ect::ECTErrorCode::Technical_Issue, 15, {}},
        {"short identifier", saleOf("Sale", {{"saleSystemActionIdentifier", "123456"}}),
         ect::ECTErrorCode::Technical_Issue, 51, {}},
        {"delivery time-out", delivery, ect::ECTErrorCode::Technical_Issue, 15, defaultSettingsWith("deliveryTimeout", 10000)},
        {"no currency", delivery, ect::ECTErrorCode::Rejected, 110, defaultSettingsWith("currencyCode")},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.name);
        oxa::JsonZUVASaleTransactionRequest request(environmentWith(refused.settings));
        expectRefusal(request, refused.document, refused.cause, refused.code);
    }
}
