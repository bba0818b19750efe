#pragma once

#include "encoding/Amount.h"
#include "encoding/ECTDataHexa.h"
#include "encoding/ECTDataZUVADigital.h"
#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTag.h"
#include "encoding/ber/BerTlv.h"
#include "encoding/ber/BerTlvs.h"

#include <QJsonObject>
#include <QString>

#include <boost/optional.hpp>

#include <chrono>
#include <cstdint>

// Moving optional fields between the sale system's JSON and TLV elements.
// An absent value is never an error: nothing is added or inserted for it.

namespace Ber {

// ---- lookup: the tag, or the tag and then the sub-tag inside it ----
boost::optional<BerTlv> getValue(BerTlv const& tlv, BerTag const& tag);
boost::optional<BerTlv> getValue(BerTlvs const& tlvs, BerTag const& tag);
boost::optional<BerTlv> getValue(BerTlv const& tlv, BerTag const& tag, BerTag const& subTag);
boost::optional<BerTlv> getValue(BerTlvs const& tlvs, BerTag const& tag, BerTag const& subTag);

// The value as a terminal's text (oxa::terminalText).
boost::optional<QString> getValueAsString(BerTlv const& tlv, BerTag const& tag);
boost::optional<QString> getValueAsString(BerTlvs const& tlvs, BerTag const& tag);
boost::optional<QString> getValueAsString(BerTlv const& tlv, BerTag const& tag, BerTag const& subTag);
boost::optional<QString> getValueAsString(BerTlvs const& tlvs, BerTag const& tag, BerTag const& subTag);

// The value as upper-case hexadecimal text.
boost::optional<QString> getValueAsHexaString(BerTlv const& tlv, BerTag const& tag);
boost::optional<QString> getValueAsHexaString(BerTlvs const& tlvs, BerTag const& tag);
boost::optional<QString> getValueAsHexaString(BerTlv const& tlv, BerTag const& tag, BerTag const& subTag);
boost::optional<QString> getValueAsHexaString(BerTlvs const& tlvs, BerTag const& tag, BerTag const& subTag);

// ---- insertion into a JSON result ----
// Each returns whether the element was found (even when the conversion then
// inserts nothing); the object is left unchanged when it was not.

// The value as a terminal's text (oxa::terminalText).
bool jsonInsertOptTagText(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json);
bool jsonInsertOptTagText(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                          QJsonObject& json);
// The value as hexadecimal text.
bool jsonInsertOptTagHex(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json);
bool jsonInsertOptTagHex(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                         QJsonObject& json);
// A packed-decimal number (00 45 is 45). Digits that are not decimal, none at
// all or too many for a 64-bit number insert nothing, with a host warning.
bool jsonInsertOptTagInt(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json);
bool jsonInsertOptTagInt(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                         QJsonObject& json);
// A packed-decimal amount of minor units with 2 decimals (00 00 00 00 12 50 is
// 12.5); an unreadable one, as for a number, inserts nothing, never 0.
bool jsonInsertOptTagDouble(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json);
bool jsonInsertOptTagDouble(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                            QJsonObject& json);
// The hexadecimal text with dashes: 20231231235959 is 2023-12-31-23-59-59.
bool jsonInsertOptTagHexForDate(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                                QJsonObject& json);
bool jsonInsertOptTagHexForDate(QString const& key, BerTag const& tag, BerTlvs const& tlvs, QJsonObject& json);
// A 7-byte packed-decimal date YYYYMMDDhhmmss as YYYY-MM-DD-hh-mm-ss; any
// other value (longer, or not 14 significant digits) inserts nothing.
bool jsonInsertOptTagDate(QString const& key, BerTag const& tag, BerTlv const& tlv, QJsonObject& json);
bool jsonInsertOptTagDate(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                          QJsonObject& json);
// {"type": hex, "isContactless": ..., ...}: one flag per bit of the value.
bool jsonInsertOptCardType(QString const& key, BerTag const& tag, BerTag const& subTag, BerTlv const& tlv,
                           QJsonObject& json);
// {"value": hex, "signatureRequired": ..., ...}: one flag per bit of the value.
bool jsonInsertOptCardHolderVerificationMethod(QString const& key, BerTag const& tag, BerTag const& subTag,
                                               BerTlv const& tlv, QJsonObject& json);

// ---- conversions ----
// The text's UTF-8 bytes.
template <class Text>
BerData toBerData(Text const& text)
{
    return BerData(text.toUtf8());
}

inline BerData encodedValue(QString const& text)
{
    return toBerData(text);
}

inline BerData encodedValue(oxa::Amount const& amount)
{
    return amount.data();
}

inline std::int64_t digitalCount(std::int64_t count)
{
    return count;
}

template <class Rep, class Period>
std::int64_t digitalCount(std::chrono::duration<Rep, Period> duration)
{
    return std::chrono::duration_cast<std::chrono::seconds>(duration).count();
}

// ---- adding to a TLV element: true when the value was set and appended ----

// Text as UTF-8 bytes, an amount as its 12-digit wire form.
template <class T>
bool addOptDataTag(boost::optional<T> const& value, BerTag const& tag, BerTlv& parent)
{
    if (!value)
        return false;
    parent.addData(tag, encodedValue(*value));
    return true;
}

// Hexadecimal text as the bytes it spells.
template <class T>
bool addOptHexDataTag(boost::optional<T> const& value, BerTag const& tag, BerTlv& parent)
{
    if (!value)
        return false;
    parent.addData(tag, oxa::ECTDataHexa(value->toStdString()));
    return true;
}

// A count (of seconds, for a duration) as at least digits packed-BCD digits.
template <class T>
bool addOptDigitalDataTag(boost::optional<T> const& value, int digits, BerTag const& tag, BerTlv& parent)
{
    if (!value)
        return false;
    parent.addData(tag, oxa::ECTDataZUVADigital(digitalCount(*value), digits));
    return true;
}

} // namespace Ber

namespace oxa {

// Key present: the value as text (a non-text value gives ""); absent: emptied.
void assignOptJsonString(boost::optional<QString>& target, QString const& key, QJsonObject const& json);
// Key present: the value as a bool (non-bool gives false); absent: the default.
void assignOptJsonBool(bool& target, bool defaultValue, QString const& key, QJsonObject const& json);
// Key present: the value as an int (not a whole number gives 0); absent: the default.
void assignOptJsonInt(int& target, int defaultValue, QString const& key, QJsonObject const& json);

} // namespace oxa
