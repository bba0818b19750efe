#include "translators/OperationRequestFields.h"

#include "translators/RetailRequestFields.h"

#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace oxa {

boost::optional<Ber::BerData> OperationRequestFields::saleSystemActionIdentifier(QJsonObject const& object)
{
    const QString key = QStringLiteral("saleSystemActionIdentifier");
    if (!object.contains(key))
        return boost::none;
    return RetailRequestFields::saleSystemActionIdentifier(requireText(object, key));
}

boost::optional<Ber::BerData> OperationRequestFields::hexField(QJsonObject const& object, QString const& key)
{
    if (!object.contains(key))
        return boost::none;
    const QString hex = requireText(object, key);
    return RetailRequestFields::hexBytes(
        hex, RetailRequestFields::invalidRequest(key.toStdString() + " is not hexadecimal: \"" + hex.toStdString()
                                                 + "\""));
}

boost::optional<std::string> OperationRequestFields::decimalField(QJsonObject const& object, QString const& key)
{
    if (!object.contains(key))
        return boost::none;
    const std::string digits = requireText(object, key).toStdString();
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw RetailRequestFields::invalidRequest(key.toStdString() + " is not decimal: \"" + digits + "\"");
    return digits;
}

boost::optional<int> OperationRequestFields::boundedInt(QJsonObject const& object, QString const& key, int maximum)
{
    if (!object.contains(key))
        return boost::none;
    const QJsonValue value = object.value(key);
    const double number = value.toDouble(0.0);
    if (!value.isDouble() || number != std::floor(number))
        return 0;
    if (number < 0 || number > maximum) {
        throw RetailRequestFields::invalidRequest(key.toStdString() + " is out of range (0 to "
                                                  + std::to_string(maximum)
                                                  + "): " + QString::number(number, 'g', 15).toStdString());
    }
    return static_cast<int>(number);
}

QString OperationRequestFields::requireText(QJsonObject const& object, QString const& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        throw RetailRequestFields::invalidRequest(key.toStdString() + " is not text");
    return value.toString();
}

} // namespace oxa
