#pragma once

#include "encoding/ber/BerData.h"

#include <QByteArray>
#include <QJsonObject>

#include <boost/optional.hpp>

#include <chrono>
#include <cstdint>

namespace oxa {

// Request translator of one action: turns the sale system's JSON request into
// a message body and tells where the message goes and how long to wait for it.
// One object serves every transaction of its action on a connection; the
// request handler calls prepareZUVABody, getDestinationCode and
// getTransactionTimeout together, one transaction at a time.
class JsonTransactionRequest {
public:
    virtual ~JsonTransactionRequest() = default;

    // How long to wait for the final reply once the message is written.
    virtual std::chrono::seconds getTransactionTimeout() const = 0;
    // The 2-byte destination field of the message header.
    virtual Ber::BerData getDestinationCode() const = 0;
    // Appends the complete BER-TLV body to the empty body. Throws
    // std::invalid_argument or ect::ECTError for a request it cannot send.
    virtual void prepareZUVABody(int sequenceNumber, QJsonObject request, QByteArray& body) = 0;
    // The amount a body it prepared asks for, in minor units; none when it
    // asks for none. Throws for a body it cannot read.
    virtual boost::optional<std::int64_t> requestedAmount(QByteArray const& /*body*/) const { return boost::none; }
    // Whether a body it prepared cancels a sale: a terminal may answer it under
    // that sale's number. Throws for a body it cannot read.
    virtual bool cancelsAnother(QByteArray const& /*body*/) const { return false; }
};

} // namespace oxa
