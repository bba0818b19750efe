#include "RetailTestKit.h"
#include "support/TerminalTextCases.h"

#include "translators/JsonZUVAInformationServiceRequest.h"
#include "translators/JsonZUVAInformationServiceResponse.h"

using namespace retailtest;

TEST(InformationService, BareEnvelopeWhateverTheDocumentAndTheTerminalsCapabilities)
{
    oxa::JsonZUVAInformationServiceRequest request(oxa::makeOXAEnvironment());
    const QJsonObject noisy{{"transaction", QJsonObject{{"action", "InformationService"}, {"amount", "12.00"}}}};
    EXPECT_EQ(bodyHex(request, 99, noisy), "F009E107D0024369D10199");

    const auto reply = [](const std::vector<SimTlv>& elements) {
        return resultOf(oxa::JsonZUVAInformationServiceResponse(), "Ri", elements);
    };
    EXPECT_EQ(reply({element("BF8102", {SimTlv::text("9F1E", "TID-42"), SimTlv::hex("9F40", "10")}),
                     SimTlv::text("DF05", "Model X")}),
              (QJsonObject{{"terminalIdentifier", "TID-42"}, {"terminalModel", "Model X"},
                           {"terminalAdditionalCapabilities", "10"}, {"cashbackEnabled", true}}));
    // An identifier in ISO 8859-1 is read as such, the same wherever it is read.
    EXPECT_EQ(reply({element("BF8102", {SimTlv::hex("9F1E", "544944E9")})}).value("terminalIdentifier"),
              QString::fromUtf8("TID\xC3\xA9"));
    // One in UTF-8 with a stray byte keeps its letters.
    EXPECT_EQ(reply({element("BF8102", {SimTlv::hex("9F1E", "544944C3A9FF")})}).value("terminalIdentifier"),
              QString::fromUtf8("TID\xC3\xA9\xEF\xBF\xBD"));
    for (const auto& text : testsupport::terminalTextCases())
        EXPECT_EQ(reply({element("BF8102", {SimTlv::text("9F1E", text.bytes)})}).value("terminalIdentifier"), text.read)
            << toHex(testsupport::textBytes(text.bytes));
    // Cash-back is bit 0x10 of the first capabilities byte.
    EXPECT_EQ(reply({element("BF8102", {SimTlv::hex("9F40", "EF")})}).value("cashbackEnabled"), false);
    EXPECT_EQ(reply({element("BF8102", {SimTlv::hex("9F40", "")})}).value("cashbackEnabled"), false);
}
