#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The balance reply ("Rb"): terminal, acquirer and the financial counters
// with their totals.
class JsonZUVARequestBalanceResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVARequestBalanceResponse();

protected:
    QJsonObject readResult(QByteArray const& body) const override;

private:
    static QJsonObject counterFields(Ber::BerTlv const& counter);
    static void insertCurrencyAndTotal(Ber::BerTlv const& counter, QJsonObject& fields);
};

} // namespace oxa
