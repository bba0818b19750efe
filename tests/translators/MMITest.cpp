#include "RetailTestKit.h"

#include "translators/JsonZUVAMMIOperationRequest.h"
#include "translators/JsonZUVAMMIOperationResponse.h"

#include <map>
#include <string>
#include <vector>

using namespace retailtest;

namespace {

const std::string EmptyLine = "EF1FDF94010210" "07E517DF94020127DF94030100DF94040100DF94050400000000";

std::string operationBody(const QJsonObject& transaction)
{
    oxa::JsonZUVAMMIOperationRequest request(oxa::makeOXAEnvironment());
    return bodyHex(request, 5, transactionDocument(transaction));
}

std::string hexByte(int value)
{
    return toHex(Bytes{static_cast<uint8_t>(value)});
}

// The encoded line of the free-text block for the given DF9404 value.
std::string line(const std::string& charactersHex)
{
    const int characters = static_cast<int>(charactersHex.size()) / 2;
    return "EF" + hexByte(characters + 30) + "DF94010210" "07" + "E5" + hexByte(characters + 22)
           + "DF94020127DF94030100DF9404" + hexByte(characters) + charactersHex + "DF94050400000000";
}

std::string freeTextWithFirstLine(const QString& text)
{
    return operationBody({{"displayTimeout", 30}, {"freeText", QJsonObject{{"text_1", text}}}});
}

} // namespace

// The first text needs its language too; the second follows it.
TEST(MMIOperationRequest, DisplayTimeoutAndStoredTexts)
{
    EXPECT_EQ(operationBody({{"displayTimeout", 30}, {"firstTextIdentifier", 26}}),
              "F019E107D002436DD10105BF81090CDF9414020030DF9415020030");
    EXPECT_TRUE(contains(operationBody({{"displayTimeout", "30"}}), "DF9414020000DF9415020000"));
    const std::string both = operationBody({{"displayTimeout", 30},
                                            {"firstTextIdentifier", 26},
                                            {"firstTextLanguage", "fr"},
                                            {"secondTextIdentifier", 7},
                                            {"secondTextLanguage", "de"}});
    EXPECT_EQ(both, "F035E107D002436DD10105BF810928DF9414020030DF9415020030"
                    "BF810B0ADF941B0126DF1A026672BF810D0ADF941B0107DF1A026465");
}

// Each line is sent in Latin-1 and holds at most 20 bytes of UTF-8.
TEST(MMIOperationRequest, FreeTextIsANestedLatin1EncodingWithLongLengths)
{
    const std::string fourEmpty = "BF810A819C" "DF94188192" "F0818F" "E106DF8158020100" "E28184"
                                  + EmptyLine + EmptyLine + EmptyLine + EmptyLine + "DF9419010B";
    EXPECT_EQ(operationBody({{"displayTimeout", 30}, {"freeText", QJsonObject()}}),
              "F081BBE107D002436DD10105BF810981ADDF9414020030DF9415020030" + fourEmpty);
    EXPECT_TRUE(contains(freeTextWithFirstLine("HELLO"), line("48454C4C4F00") + EmptyLine + EmptyLine + EmptyLine));
    EXPECT_TRUE(contains(freeTextWithFirstLine(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e")), line("4772FCDF6500")));
    EXPECT_TRUE(contains(freeTextWithFirstLine(QString(10, QChar(0xE9))), line(toHex(Bytes(10, 0xE9)) + "00")));
    oxa::JsonZUVAMMIOperationRequest request(oxa::makeOXAEnvironment());
    for (const QString& tooLong : {QString(21, 'X'), QString(11, QChar(0xE9)), QString(20, QChar(0xE9))})
        expectRefusal(request, transactionDocument({{"displayTimeout", 30}, {"freeText", QJsonObject{{"text_4", tooLong}}}}),
                      51, ect::ECTErrorCode::Rejected);
}

TEST(MMIOperationRequest, PinBlockWithAesCtr)
{
    const QJsonObject pin{{"encryptedPin", "0123456789abcdef"},
                          {"keyIndex", 10},
                          {"keySerialNumber", "FFFF9876543210E00001"},
                          {"encryptionData", "A1B2"},
                          {"algorithm", "AES_CTR"}};
    const std::string block = "DF9257080123456789ABCDEF" "DF940802A1B2" "8F010A" "DF940A0AFFFF9876543210E00001";
    EXPECT_TRUE(contains(operationBody({{"displayTimeout", 30}, {"encryptedPin", pin}}),
                         "BF810733DF820404000000" "06" "DF953604000000" "01" + block));
}

// With several bad fields the refusal names the first one read: the display
// fields, then the PIN block's encrypted PIN, key index, key serial number and
// encryption data.
TEST(MMIOperationRequest, RefusesMissingPartsAndValuesOutOfRange)
{
    oxa::JsonZUVAMMIOperationRequest request(oxa::makeOXAEnvironment());
    // Every field of the PIN block bad, in the order they are read.
    const std::vector<std::pair<QString, QJsonValue>> badPinFields{
        {"encryptedPin", "12G4"}, {"keyIndex", 256}, {"keySerialNumber", "XY"}, {"encryptionData", 7}};
    const auto badPinFrom = [&badPinFields](size_t first) {
        QJsonObject pin{{"algorithm", "AES_CTR"}};
        for (size_t field = first; field < badPinFields.size(); ++field)
            pin.insert(badPinFields[field].first, badPinFields[field].second);
        return pin;
    };
    const std::vector<std::pair<QJsonObject, std::string>> invalid{
        {{{"displayTimeout", 10000}}, "displayTimeout"},
        {{{"displayTimeout", 30}, {"firstTextIdentifier", 100}}, "firstTextIdentifier"},
        {{{"displayTimeout", 30}, {"secondTextIdentifier", -5}, {"secondTextLanguage", "fr"}}, "secondTextIdentifier"},
        {{{"displayTimeout", 30}, {"encryptedPin", QJsonObject{{"keyIndex", 256}}}}, "keyIndex"},
        {{{"displayTimeout", 30}, {"encryptedPin", QJsonObject{{"encryptedPin", "12G4"}}}}, "encryptedPin"},
        {{{"displayTimeout", 10000}, {"firstTextIdentifier", 100}, {"encryptedPin", badPinFrom(0)}}, "displayTimeout"},
        {{{"displayTimeout", 30}, {"encryptedPin", badPinFrom(0)}}, "encryptedPin"},
        {{{"displayTimeout", 30}, {"encryptedPin", badPinFrom(1)}}, "keyIndex"},
        {{{"displayTimeout", 30}, {"encryptedPin", badPinFrom(2)}}, "keySerialNumber"},
        {{{"displayTimeout", 30}, {"encryptedPin", badPinFrom(3)}}, "encryptionData"},
    };
    for (const auto& row : invalid) {
        const std::string reason = expectRefusal(request, transactionDocument(row.first));
        EXPECT_EQ(reason.substr(0, reason.find(' ')), row.second) << reason;
    }
}

TEST(MMIOperationResponse, FlagsTellWhichKeyEndedTheOperation)
{
    const auto flags = [](bool ok, bool stop, bool aborted) {
        return QJsonObject{{"okKeyPressed", ok}, {"stopKeyPressed", stop}, {"aborted", aborted}};
    };
    const std::map<std::string, QJsonObject> cases{{"00", flags(true, false, false)}, {"01", flags(false, true, false)},
                                                   {"FF", flags(false, false, true)}, {"0000", flags(false, false, false)}};
    for (const auto& entry : cases) {
        const SimTlv key = element("BF8109", {SimTlv::hex("DF9426", entry.first)});
        EXPECT_EQ(resultOf(oxa::JsonZUVAMMIOperationResponse(), "Rm", {key}), entry.second) << entry.first;
    }
    // A reply without the key is no result.
    for (const auto& elements : std::vector<std::vector<SimTlv>>{{}, {SimTlv::hex("DF9426", "00")}})
        EXPECT_THROW(resultOf(oxa::JsonZUVAMMIOperationResponse(), "Rm", elements), std::invalid_argument);
}
