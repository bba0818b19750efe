#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The terminal's sale reply ("Rd") as the sale result: card, amount, date,
// ticket and merchant fields. A sale the terminal processed in backup mode is
// also handed to the recovery files.
class JsonZUVASaleTransactionResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVASaleTransactionResponse();

    // The result fields of a sale reply body, recording a backup-mode sale;
    // the last transaction reply ("Re") reads the same way.
    static QJsonObject saleResult(QByteArray const& body);

    // The amount and the terminal's transaction identifier of a sale reply.
    QString describeLateReply(QByteArray const& body) const override;
    bool carriesAmount() const override { return true; }
    bool mustReachHost(QByteArray const& body) const override;
    boost::optional<std::int64_t> approvedAmount(QByteArray const& body) const override;

protected:
    QJsonObject readResult(QByteArray const& body) const override;

private:
    static QJsonObject resultFields(Ber::BerTlv const& root);
    static void insertDate(Ber::BerTlv const& root, QJsonObject& fields);
    static void recordBackupModeSale(Ber::BerTlv const& root, QString const& date);
};

} // namespace oxa
