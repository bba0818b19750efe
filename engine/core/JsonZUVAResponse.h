#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

#include <boost/optional.hpp>

#include <cstdint>
#include <functional>

namespace oxa {

// Response translator: recognises a terminal message by its type identifier
// and turns its body into a JSON document.
class JsonZUVAResponse {
public:
    virtual ~JsonZUVAResponse() = default;

    // The two-character type (E1/D0) of the messages this translator takes, as
    // "Rd". The translator of the delivery question "CR" also gets the sale
    // reply "Rd" of a terminal that ends the sale without asking.
    virtual QString getMessageTypeId() const = 0;
    // A readable name for the message log; empty unless a translator has one.
    virtual QString getMessageTypeName() const { return QString(); }
    // Translates one complete message body into response. The reverse callback
    // puts a question to the sale system and returns its answer; it may be empty.
    // Throws for a body it cannot read.
    virtual void handleResponse(QByteArray body, QJsonDocument& response,
                                std::function<QJsonDocument(QJsonDocument)> reverseCallback) = 0;
    // What the host must hear of a reply that came after its transaction had
    // failed, as "amount 12.50 EUR, transaction identifier 0A1B"; empty when
    // nothing. Has no other effect. Throws for a body it cannot read.
    virtual QString describeLateReply(QByteArray const& /*body*/) const { return QString(); }
    // Whether its replies carry an amount (the sale family): the terminal may
    // still carry such a transaction out after the host ended it.
    virtual bool carriesAmount() const { return false; }
    // Whether the host must hear of this body of its type though no
    // transaction awaits it: a sale's reply carrying an amount (not a card
    // check's that shares its type), the key that ended an entry. Throws for a
    // body it cannot read.
    virtual bool mustReachHost(QByteArray const& /*body*/) const { return false; }
    // The amount this body of its type approves, in minor units; none when it
    // approves none. Throws for a body it cannot read.
    virtual boost::optional<std::int64_t> approvedAmount(QByteArray const& /*body*/) const { return boost::none; }
};

} // namespace oxa
