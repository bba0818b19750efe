#include "translators/RetailRequestFields.h"

#include "common/ECTData.h"
#include "common/ECTSaleSystemActionIdentifier.h"
#include "encoding/StringUtils.h"
#include "encoding/ber/BerTlvParser.h"

#include <QJsonValue>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>
#include <vector>

namespace oxa {

namespace {

const QString& kTransaction = *new QString(QStringLiteral("transaction"));
const QString& kAction = *new QString(QStringLiteral("action"));

bool isBase64Character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

} // namespace

QJsonObject RetailRequestFields::requireTransaction(QJsonObject const& request)
{
    const QJsonObject transaction = request.value(kTransaction).toObject();
    if (transaction.isEmpty())
        throw std::invalid_argument("Invalid JSON");
    return transaction;
}

QString RetailRequestFields::requireAction(QJsonObject const& transaction)
{
    if (!transaction.contains(kAction))
        throw std::invalid_argument("Invalid JSON : no action defined");
    return transaction.value(kAction).toString();
}

boost::optional<int> RetailRequestFields::timeoutField(QJsonObject const& transaction, QString const& key)
{
    if (!transaction.contains(key))
        return boost::none;
    const QJsonValue value = transaction.value(key);
    const double seconds = value.toDouble(0.0);
    if (!value.isDouble() || seconds != std::floor(seconds))
        return 0;
    return checkedTimeout(seconds, key);
}

int RetailRequestFields::timeoutSetting(OXAEnvironment const& environment, QString const& key)
{
    bool isNumber = false;
    const double seconds = environment.get(key).toDouble(&isNumber);
    if (!isNumber)
        return 0;
    return checkedTimeout(std::trunc(seconds), QStringLiteral("setting ") + key);
}

int RetailRequestFields::timeoutFieldOrSetting(QJsonObject const& transaction, QString const& key,
                                               OXAEnvironment const& environment, QString const& settingKey)
{
    if (const boost::optional<int> seconds = timeoutField(transaction, key))
        return *seconds;
    return timeoutSetting(environment, settingKey);
}

int RetailRequestFields::checkedTimeout(double seconds, QString const& name)
{
    if (seconds < 0 || seconds > kMaximumTimeoutSeconds) {
        throw invalidRequest(name.toStdString() + " is out of range (0 to " + std::to_string(kMaximumTimeoutSeconds)
                             + " seconds): " + QString::number(seconds, 'g', 15).toStdString());
    }
    return static_cast<int>(seconds);
}

Ber::BerData RetailRequestFields::hexBytes(QString const& hex, ect::ECTError const& refusal)
{
    // Characters beyond Latin-1 become '?', which is no hexadecimal digit.
    const QByteArray text = hex.toLatin1();
    const bool wellFormed = text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), [](char c) {
                                return StringUtils::hexDigitValue(c) >= 0;
                            });
    if (!wellFormed)
        throw refusal;
    return Ber::BerData(QByteArray::fromHex(text));
}

Ber::BerData RetailRequestFields::saleSystemActionIdentifier(QString const& hex)
{
    const Ber::BerData bytes =
        hexBytes(hex, invalidRequest("saleSystemActionIdentifier is not hexadecimal: \"" + hex.toStdString() + "\""));
    const std::vector<unsigned char> raw(bytes.data(), bytes.data() + bytes.length());
    // Refuses anything but 4 bytes with the identifier's own error.
    const ect::ECTSaleSystemActionIdentifier identifier{ect::ECTData(raw)};
    return bytes;
}

Ber::BerTlv RetailRequestFields::base64Element(QString const& base64, QString const& name)
{
    const QByteArray text = base64.toLatin1();
    if (!isBase64(text))
        throw invalidRequest(name.toStdString() + " is not Base64");
    try {
        return Ber::BerTlvParser().parseConstructed(Ber::BerData(QByteArray::fromBase64(text)));
    } catch (std::exception const& e) {
        throw invalidRequest(name.toStdString() + " holds no BER element: " + e.what());
    }
}

bool RetailRequestFields::isBase64(QByteArray const& text)
{
    if (text.size() % 4 != 0)
        return false;
    int padding = 0;
    while (padding < 2 && padding < text.size() && text.at(text.size() - 1 - padding) == '=')
        ++padding;
    return std::all_of(text.begin(), text.end() - padding, isBase64Character);
}

ect::ECTError RetailRequestFields::invalidRequest(std::string const& reason)
{
    return ect::ECTError(ect::ECTErrorCode::Technical_Issue, ect::ECTErrorCauseCode::InvalidRequest,
                         {{"reason", reason}});
}

} // namespace oxa
