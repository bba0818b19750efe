#include "encoding/ZUVAUtils.h"

#include "encoding/StringUtils.h"
#include "encoding/TerminalText.h"
#include "engine/base/HostWarning.h"

#include <QJsonValue>

#include <string>

namespace Ber {

namespace {

using Conversion = void (*)(BerTlv const& found, QString const& key, QJsonObject& json);

struct FlagPosition {
    int position;
    char const* key;
};

FlagPosition const kCardTypeFlags[] = {
    {0, "isContactless"}, {1, "isMagneticStripe"},  {2, "isIccEmv"},          {3, "isIccNonEmv"},
    {4, "isBarCode"},     {5, "isManualEntry"},     {6, "isSynchronousChip"}, {7, "isAsynchronousChip"},
};

FlagPosition const kVerificationMethodFlags[] = {
    {0, "signatureRequired"},
    {1, "pinRequired"},
    {2, "legalIdRequired"},
    {4, "processedWithChip"},
    {5, "processedWithMagneticStripe"},
    {6, "processedWithMagneticStripeInFallbackMode"},
    {8, "processedInBackupMode"},
    {9, "processedWithMobile"},
};

constexpr std::size_t kDateBytes = 7;
constexpr std::size_t kDateDigits = 14;
constexpr double kMinorUnitsPerUnit = 100.0;
// Where the dashes of YYYY-MM-DD-hh-mm-ss go, last first so earlier positions hold.
int const kDateDashPositions[] = {12, 10, 8, 6, 4};

QString textOf(BerTlv const& tlv)
{
    return oxa::terminalText(tlv);
}

QString hexOf(BerTlv const& tlv)
{
    return QString::fromStdString(tlv.hexValue());
}

// Packed-decimal digits as a 64-bit number; none when they are not all
// decimal, are none at all or are too many for the number.
boost::optional<qint64> decimalNumber(QString const& digits)
{
    bool ok = false;
    qint64 const value = digits.toLongLong(&ok, 10);
    return ok ? boost::optional<qint64>(value) : boost::none;
}

// A number made up as 0 would pass for the terminal's: the key stays out.
boost::optional<qint64> readableNumber(BerTlv const& found, QString const& key)
{
    QString const digits = hexOf(found);
    boost::optional<qint64> const number = decimalNumber(digits);
    if (!number) {
        oxa::HostWarning::report("Reply field " + key.toStdString() + " is no number the library can read ("
                                 + digits.toStdString() + "): left out");
    }
    return number;
}

bool insertFound(boost::optional<BerTlv> const& found, QString const& key, QJsonObject& json,
                 Conversion insert)
{
    if (!found)
        return false;
    insert(*found, key, json);
    return true;
}

void insertText(BerTlv const& found, QString const& key, QJsonObject& json)
{
    json.insert(key, textOf(found));
}

void insertHex(BerTlv const& found, QString const& key, QJsonObject& json)
{
    json.insert(key, hexOf(found));
}

void insertInt(BerTlv const& found, QString const& key, QJsonObject& json)
{
    if (boost::optional<qint64> const number = readableNumber(found, key))
        json.insert(key, QJsonValue(*number));
}

void insertDouble(BerTlv const& found, QString const& key, QJsonObject& json)
{
    if (boost::optional<qint64> const minorUnits = readableNumber(found, key))
        json.insert(key, static_cast<double>(*minorUnits) / kMinorUnitsPerUnit);
}

void insertHexForDate(BerTlv const& found, QString const& key, QJsonObject& json)
{
    QString date = hexOf(found);
    for (int position : kDateDashPositions) {
        if (date.size() < position)
            date = date.leftJustified(position, QLatin1Char(' '));
        date.insert(position, QLatin1Char('-'));
    }
    json.insert(key, date);
}

void insertDate(BerTlv const& found, QString const& key, QJsonObject& json)
{
    if (found.value.length() > kDateBytes)
        return;
    std::string const digits = std::to_string(found.value.ZUVALongValue());
    if (digits.size() != kDateDigits)
        return;
    std::string const date = digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + "-"
        + digits.substr(8, 2) + "-" + digits.substr(10, 2) + "-" + digits.substr(12, 2);
    json.insert(key, QString::fromStdString(date));
}

template <std::size_t N>
QJsonObject allFlagsClear(FlagPosition const (&flags)[N])
{
    QJsonObject object;
    for (FlagPosition const& flag : flags)
        object.insert(QLatin1String(flag.key), false);
    return object;
}

// Every reply carries these objects: copying one with its keys in place and
// setting the few raised flags costs far less than inserting every key.
QJsonObject const& kCardTypeClear = *new QJsonObject(allFlagsClear(kCardTypeFlags));
QJsonObject const& kVerificationMethodClear = *new QJsonObject(allFlagsClear(kVerificationMethodFlags));

template <std::size_t N>
QJsonObject flagsObject(std::string const& bits, FlagPosition const (&flags)[N], QJsonObject const& allClear)
{
    QJsonObject object = allClear;
    for (FlagPosition const& flag : flags) {
        if (oxa::StringUtils::binaryStringBitSetAtPosition(bits, flag.position))
            object[QLatin1String(flag.key)] = true;
    }
    return object;
}

void insertCardType(BerTlv const& found, QString const& key, QJsonObject& json)
{
    std::string const hex = found.hexValue();
    QJsonObject object = flagsObject(oxa::StringUtils::convertHexaToBinary(hex), kCardTypeFlags, kCardTypeClear);
    object.insert(QStringLiteral("type"), QString::fromStdString(hex));
    json.insert(key, object);
}

void insertVerificationMethod(BerTlv const& found, QString const& key, QJsonObject& json)
{
    std::string const hex = found.hexValue();
    QJsonObject object = flagsObject(oxa::StringUtils::convertHexaToBinary(hex), kVerificationMethodFlags, kVerificationMethodClear);
    object.insert(QStringLiteral("value"), QString::fromStdString(hex));
    json.insert(key, object);
}

boost::optional<QString> textIfFound(boost::optional<BerTlv> const& found)
{
    return found ? boost::optional<QString>(textOf(*found)) : boost::none;
}

boost::optional<QString> hexIfFound(boost::optional<BerTlv> const& found)
{
    return found ? boost::optional<QString>(hexOf(*found)) : boost::none;
}

} // namespace

boost::optional<BerTlv> getValue(BerTlv const& tlv, BerTag const& tag)
{
    return tlv.find(tag);
}

boost::optional<BerTlv> getValue(BerTlvs const& tlvs, BerTag const& tag)
{
    return tlvs.find(tag);
}

boost::optional<BerTlv> getValue(BerTlv const& tlv, BerTag const& tag, BerTag const& subTag)
{
    // Only the hit is copied, not the template it sits in.
    BerTlv const* const parent = tlv.findNode(tag);
    return parent ? parent->find(subTag) : boost::none;
}

boost::optional<BerTlv> getValue(BerTlvs const& tlvs, BerTag const& tag, BerTag const& subTag)
{
    for (BerTlv const& tlv : tlvs.tlvs) {
        if (tlv.findNode(tag))
            return getValue(tlv, tag, subTag);
    }
    return boost::none;
}

boost::optional<QString> getValueAsString(BerTlv const& tlv, BerTag const& tag)
{
    return textIfFound(getValue(tlv, tag));
}

boost::optional<QString> getValueAsString(BerTlvs const& tlvs, BerTag const& tag)
{
    return textIfFound(getValue(tlvs, tag));
}

boost::optional<QString> getValueAsString(BerTlv const& tlv, BerTag const& tag, BerTag const& subTag)
{
    return textIfFound(getValue(tlv, tag, subTag));
}

boost::optional<QString> getValueAsString(BerTlvs const& tlvs, BerTag const& tag, BerTag const& subTag)
{
    return textIfFound(getValue(tlvs, tag, subTag));
}

boost::optional<QString> getValueAsHexaString(BerTlv const& tlv, BerTag const& tag)
{
    return hexIfFound(getValue(tlv, tag));
}

boost::optional<QString> getValueAsHexaString(BerTlvs const& tlvs, BerTag const& tag)
{
    return hexIfFound(getValue(tlvs, tag));
}

boost::optional<QString> getValueAsHexaString(BerTlv const& tlv, BerTag const& tag, BerTag const& subTag)
{
    return hexIfFound(getValue(tlv, tag, subTag));
}

boost::optional<QString> getValueAsHexaString(BerTlvs const& tlvs, BerTag const& tag, BerTag const& subTag)
{
    return hexIfFound(getValue(tlvs, tag, subTag));
}

bool jsonInsertOptTagText(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json)
{
    return insertFound(getValue(tlv, tag), key, json, insertText);
}

bool jsonInsertOptTagText(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                          QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertText);
}

bool jsonInsertOptTagHex(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json)
{
    return insertFound(getValue(tlv, tag), key, json, insertHex);
}

bool jsonInsertOptTagHex(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                         QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertHex);
}

bool jsonInsertOptTagInt(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json)
{
    return insertFound(getValue(tlv, tag), key, json, insertInt);
}

bool jsonInsertOptTagInt(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                         QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertInt);
}

bool jsonInsertOptTagDouble(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json)
{
    return insertFound(getValue(tlv, tag), key, json, insertDouble);
}

bool jsonInsertOptTagDouble(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                            QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertDouble);
}

bool jsonInsertOptTagHexForDate(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                                QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertHexForDate);
}

bool jsonInsertOptTagHexForDate(QString const& key, BerTag const& tag, BerTlvs const& tlvs, QJsonObject& json)
{
    return insertFound(getValue(tlvs, tag), key, json, insertHexForDate);
}

bool jsonInsertOptTagDate(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json)
{
    return insertFound(getValue(tlv, tag), key, json, insertDate);
}

bool jsonInsertOptTagDate(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                          QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertDate);
}

bool jsonInsertOptCardType(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                           QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertCardType);
}

bool jsonInsertOptCardHolderVerificationMethod(QString const& key, BerTag const& tag, BerTag const& subTag,
                                               BerTlv const& tlv, QJsonObject& json)
{
    return insertFound(getValue(tlv, tag, subTag), key, json, insertVerificationMethod);
}

} // namespace Ber

namespace oxa {

void assignOptJsonString(boost::optional<QString>& target, QString const& key, QJsonObject const& json)
{
    if (json.contains(key))
        target = json.value(key).toString();
    else
        target = boost::none;
}

void assignOptJsonBool(bool& target, bool defaultValue, QString const& key, QJsonObject const& json)
{
    target = json.contains(key) ? json.value(key).toBool(false) : defaultValue;
}

void assignOptJsonInt(int& target, int defaultValue, QString const& key, QJsonObject const& json)
{
    target = json.contains(key) ? json.value(key).toInt(0) : defaultValue;
}

} // namespace oxa
