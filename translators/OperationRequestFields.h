#pragma once

#include "encoding/ber/BerData.h"

#include <QJsonObject>
#include <QString>

#include <boost/optional.hpp>

#include <string>

namespace oxa {

// Checked reading of the operation, ticket and display request fields whose
// values end up as raw bytes or fixed-width digits. A present but unusable
// value is refused as an invalid request (code 2, cause 15) instead of being
// sent as an empty or truncated element.
class OperationRequestFields {
public:
    // Absent: none. Present: 8 hexadecimal digits, the 4 bytes of the
    // identifier; a value that is not text or not hexadecimal is refused, and
    // one of another size as ect::ECTSaleSystemActionIdentifier refuses it.
    static boost::optional<Ber::BerData> saleSystemActionIdentifier(QJsonObject const& object);
    // Absent: none. Present: the bytes spelled by hexadecimal text (an even
    // count of digits, either case); anything else is refused.
    static boost::optional<Ber::BerData> hexField(QJsonObject const& object, QString const& key);
    // Absent: none. Present: text of decimal digits only (possibly empty).
    static boost::optional<std::string> decimalField(QJsonObject const& object, QString const& key);
    // Absent: none. Present: a whole number, refused outside 0 to maximum;
    // a value that is not a whole number reads 0.
    static boost::optional<int> boundedInt(QJsonObject const& object, QString const& key, int maximum);

private:
    static QString requireText(QJsonObject const& object, QString const& key);
};

} // namespace oxa
