#include "translators/JsonZUVAMMIOperationRequest.h"

#include "common/ECTEncryptionAlgorithm.h"
#include "common/ECTError.h"
#include "common/FreeText.h"
#include "common/HexToBytes.h"
#include "common/MMIParameter.h"
#include "encoding/ECTDataZUVADigital.h"
#include "translators/OperationRequestFields.h"
#include "translators/RetailRequestFields.h"
#include "translators/ZUVATags.h"

#include <boost/optional.hpp>

#include <stdexcept>
#include <string>
#include <vector>

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& DisplayTimeout = *new Ber::BerTag(0xDF, 0x94, 0x14);
const Ber::BerTag& DisplayTimeoutRepeated = *new Ber::BerTag(0xDF, 0x94, 0x15);
const Ber::BerTag& FreeTextData = *new Ber::BerTag(0xBF, 0x81, 0x0A);
const Ber::BerTag& FreeTextBlock = *new Ber::BerTag(0xDF, 0x94, 0x18);
const Ber::BerTag& FreeTextFormat = *new Ber::BerTag(0xDF, 0x94, 0x19);
const Ber::BerTag& FirstText = *new Ber::BerTag(0xBF, 0x81, 0x0B);
const Ber::BerTag& SecondText = *new Ber::BerTag(0xBF, 0x81, 0x0D);
const Ber::BerTag& TextIdentifier = *new Ber::BerTag(0xDF, 0x94, 0x1B);
const Ber::BerTag& PinBlock = *new Ber::BerTag(0xBF, 0x81, 0x07);
const Ber::BerTag& PinFormat = *new Ber::BerTag(0xDF, 0x82, 0x04);
const Ber::BerTag& PinCipherMode = *new Ber::BerTag(0xDF, 0x95, 0x36);
const Ber::BerTag& EncryptedPin = *new Ber::BerTag(0xDF, 0x92, 0x57);
const Ber::BerTag& EncryptionData = *new Ber::BerTag(0xDF, 0x94, 0x08);
const Ber::BerTag& KeyIndex = *new Ber::BerTag(0x8F);
const Ber::BerTag& KeySerialNumber = *new Ber::BerTag(0xDF, 0x94, 0x0A);

// Inside the free-text block.
const Ber::BerTag& BlockHeader = *new Ber::BerTag(0xE1);
const Ber::BerTag& BlockVersion = *new Ber::BerTag(0xDF, 0x81, 0x58);
const Ber::BerTag& BlockLines = *new Ber::BerTag(0xE2);
const Ber::BerTag& Line = *new Ber::BerTag(0xEF);
const Ber::BerTag& LinePosition = *new Ber::BerTag(0xDF, 0x94, 0x01);
const Ber::BerTag& LineText = *new Ber::BerTag(0xE5);
const Ber::BerTag& LineFont = *new Ber::BerTag(0xDF, 0x94, 0x02);
const Ber::BerTag& LineAttributes = *new Ber::BerTag(0xDF, 0x94, 0x03);
const Ber::BerTag& LineCharacters = *new Ber::BerTag(0xDF, 0x94, 0x04);
const Ber::BerTag& LineColours = *new Ber::BerTag(0xDF, 0x94, 0x05);

constexpr int kMaximumDisplayTimeout = 9999; // 4 packed-BCD digits
constexpr int kMaximumTextIdentifier = 99;   // 2 packed-BCD digits
constexpr int kMaximumKeyIndex = 255;        // one byte

void checkFreeTextLine(const std::string& line)
{
    if (line.size() > static_cast<size_t>(JsonZUVAMMIOperationRequest::kMaximumFreeTextLength))
        throw ect::ECTError(ect::ECTErrorCode::Rejected, ect::kMalformedRequestValue,
                            {{"reason", "Max length of free texts is 20 !"}});
}

// A stored text is shown only when both its identifier and its language are given.
void assignStoredText(const QJsonObject& transaction, const QString& identifierKey, const QString& languageKey,
                      boost::optional<int>& identifier, boost::optional<std::string>& language)
{
    const boost::optional<int> given =
        OperationRequestFields::boundedInt(transaction, identifierKey, kMaximumTextIdentifier);
    if (!given || !transaction.contains(languageKey))
        return;
    identifier = given;
    language = transaction.value(languageKey).toString().toStdString();
}

ect::FreeText parseFreeText(const QJsonObject& freeText)
{
    std::vector<std::string> lines;
    for (const char* key : {"text_1", "text_2", "text_3", "text_4"}) {
        lines.push_back(freeText.value(QLatin1String(key)).toString().toStdString());
        checkFreeTextLine(lines.back());
    }
    return ect::FreeText(lines[0], lines[1], lines[2], lines[3]);
}

// The byte fields as validated upper-case hexadecimal text. Read one by one,
// not as arguments, so that a refusal names the first bad field.
ect::EncryptedData parsePin(const QJsonObject& pin)
{
    const auto hex = [&pin](const char* key) {
        return OperationRequestFields::hexField(pin, QLatin1String(key)).value_or(Ber::BerData()).stringValue();
    };
    const ect::ECTEncryptionAlgorithm algorithm =
        ect::encryptionAlgorithmFromName(pin.value(QStringLiteral("algorithm")).toString().toStdString());
    const std::string encryptedPin = hex("encryptedPin");
    const int keyIndex =
        OperationRequestFields::boundedInt(pin, QStringLiteral("keyIndex"), kMaximumKeyIndex).value_or(0);
    const std::string keySerialNumber = hex("keySerialNumber");
    const std::string encryptionData = hex("encryptionData");
    return ect::EncryptedData(encryptedPin, keyIndex, keySerialNumber, encryptionData, algorithm);
}

ect::MMIParameter parseJson(const QJsonObject& request)
{
    const QJsonObject transaction = RetailRequestFields::requireTransaction(request);
    const QString displayTimeoutKey = QStringLiteral("displayTimeout");
    if (!transaction.contains(displayTimeoutKey))
        throw std::invalid_argument("Invalid JSON : no displayTimeout defined");
    ect::MMIParameter data;
    data.displayTimeout = *OperationRequestFields::boundedInt(transaction, displayTimeoutKey, kMaximumDisplayTimeout);
    assignStoredText(transaction, QStringLiteral("firstTextIdentifier"), QStringLiteral("firstTextLanguage"),
                     data.firstTextIdentifier, data.firstTextLanguage);
    assignStoredText(transaction, QStringLiteral("secondTextIdentifier"), QStringLiteral("secondTextLanguage"),
                     data.secondTextIdentifier, data.secondTextLanguage);
    if (transaction.contains(QStringLiteral("freeText")))
        data.freeText = parseFreeText(transaction.value(QStringLiteral("freeText")).toObject());
    if (transaction.contains(QStringLiteral("encryptedPin")))
        data.encryptedPin = parsePin(transaction.value(QStringLiteral("encryptedPin")).toObject());
    return data;
}

// One line in ISO 8859-1 (characters it lacks become '?'), zero-terminated.
Ber::BerTlv freeTextLine(const std::string& text)
{
    checkFreeTextLine(text);
    Ber::BerTlv characters(LineText);
    characters.addData(LineFont, Ber::BerData{0x27});
    characters.addData(LineAttributes, Ber::BerData{0x00});
    characters.addData(LineCharacters,
                       Ber::BerData(QString::fromUtf8(QByteArray::fromStdString(text)).toLatin1().append('\0')));
    characters.addData(LineColours, Ber::BerData{0x00, 0x00, 0x00, 0x00});
    Ber::BerTlv line(Line);
    line.addData(LinePosition, Ber::BerData{0x10, 0x07});
    line.addData(characters);
    return line;
}

// A complete encoding of its own, carried as the value of DF9418.
Ber::BerData createFreeTextData(const ect::FreeText& freeText)
{
    Ber::BerTlv header(BlockHeader);
    header.addData(BlockVersion, Ber::BerData{0x01, 0x00});
    Ber::BerTlv lines(BlockLines);
    for (const std::string& text : {freeText.text_1(), freeText.text_2(), freeText.text_3(), freeText.text_4()})
        lines.addData(freeTextLine(text));
    Ber::BerTlvBuilder block(Ber::BerTag(0xF0));
    block.addBerTlv(header);
    block.addBerTlv(lines);
    return block.buildData();
}

Ber::BerTlv storedTextElement(const Ber::BerTag& tag, int identifier, const std::string& language)
{
    Ber::BerTlv element(tag);
    element.addData(TextIdentifier, ECTDataZUVADigital(identifier, 2));
    element.addData(Language, Ber::BerData(QByteArray::fromStdString(language)));
    return element;
}

Ber::BerTlv displayElement(const ect::MMIParameter& data)
{
    Ber::BerTlv display(DisplayData);
    display.addData(JsonZUVAServiceRequest::timeoutElement(DisplayTimeout, data.displayTimeout));
    display.addData(JsonZUVAServiceRequest::timeoutElement(DisplayTimeoutRepeated, data.displayTimeout));
    if (data.freeText) {
        Ber::BerTlv freeText(FreeTextData);
        freeText.addData(FreeTextBlock, createFreeTextData(*data.freeText));
        freeText.addData(FreeTextFormat, Ber::BerData{0x0B});
        display.addData(freeText);
    }
    if (data.firstTextIdentifier && data.firstTextLanguage)
        display.addData(storedTextElement(FirstText, *data.firstTextIdentifier, *data.firstTextLanguage));
    if (data.secondTextIdentifier && data.secondTextLanguage)
        display.addData(storedTextElement(SecondText, *data.secondTextIdentifier, *data.secondTextLanguage));
    return display;
}

Ber::BerTlv pinElement(const ect::EncryptedData& pin)
{
    Ber::BerTlv element(PinBlock);
    if (pin.algorithm == ect::ECTEncryptionAlgorithm::AES_CTR) {
        element.addData(PinFormat, Ber::BerData{0x00, 0x00, 0x00, 0x06});
        element.addData(PinCipherMode, Ber::BerData{0x00, 0x00, 0x00, 0x01});
    }
    element.addData(EncryptedPin, ect::HexToBytes(pin.encryptedPin));
    element.addData(EncryptionData, ect::HexToBytes(pin.encryptionData));
    element.addData(KeyIndex, Ber::BerData{static_cast<unsigned char>(pin.keyIndex)});
    element.addData(KeySerialNumber, ect::HexToBytes(pin.keySerialNumber));
    return element;
}

} // namespace

JsonZUVAMMIOperationRequest::JsonZUVAMMIOperationRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAMMIRequest(std::move(environment), QStringLiteral("Cm"))
{
}

void JsonZUVAMMIOperationRequest::addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder)
{
    const ect::MMIParameter data = parseJson(request);
    builder.addBerTlv(displayElement(data));
    if (data.encryptedPin)
        builder.addBerTlv(pinElement(*data.encryptedPin));
}

} // namespace oxa
