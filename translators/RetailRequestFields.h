#pragma once

#include "common/ECTError.h"
#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTlv.h"
#include "engine/base/OXAEnvironment.h"

#include <QJsonObject>
#include <QString>

#include <boost/optional.hpp>

#include <string>

namespace oxa {

// Reading and checking the fields of retail and card requests. Every value
// that ends up in a fixed-width or hexadecimal field passes through here, so
// a malformed request is refused before anything is encoded.
class RetailRequestFields {
public:
    // The time-out fields carry 4 packed-decimal digits.
    static constexpr int kMaximumTimeoutSeconds = 9999;

    // The "transaction" object; std::invalid_argument "Invalid JSON" when it
    // is missing, not an object or empty.
    static QJsonObject requireTransaction(QJsonObject const& request);
    // The "action" text; std::invalid_argument "Invalid JSON : no action
    // defined" without the key (a value that is not text reads as "").
    static QString requireAction(QJsonObject const& transaction);

    // Time-outs in seconds, each refused with an invalid request outside 0
    // to 9999. A field of the transaction is a whole number when present (any
    // other value reads 0); a setting that is absent or not a number reads 0.
    static boost::optional<int> timeoutField(QJsonObject const& transaction, QString const& key);
    static int timeoutSetting(OXAEnvironment const& environment, QString const& key);
    // The field when present, else the setting.
    static int timeoutFieldOrSetting(QJsonObject const& transaction, QString const& key,
                                     OXAEnvironment const& environment, QString const& settingKey);

    // The bytes spelled by hexadecimal text; throws refusal for an odd count
    // of digits or a character outside the alphabet.
    static Ber::BerData hexBytes(QString const& hex, ect::ECTError const& refusal);
    // The 4 bytes of a sale system action identifier given as 8 hexadecimal
    // digits. Malformed text is an invalid request; well-formed text of
    // another size is refused as ect::ECTSaleSystemActionIdentifier refuses it.
    static Ber::BerData saleSystemActionIdentifier(QString const& hex);
    // One BER element given as padded standard Base64 in the named field;
    // anything else is an invalid request.
    static Ber::BerTlv base64Element(QString const& base64, QString const& name);

    // Code 2 Technical_Issue, cause 15 InvalidRequest, with the reason.
    static ect::ECTError invalidRequest(std::string const& reason);

private:
    static int checkedTimeout(double seconds, QString const& name);
    static bool isBase64(QByteArray const& text);
};

} // namespace oxa
