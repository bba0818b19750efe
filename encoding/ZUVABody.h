#pragma once

#include "common/ECTIncidentCode.h"
#include "common/ECTRejectionCode.h"
#include "encoding/ECTMessageSequenceNumber.h"
#include "encoding/ber/BerTlv.h"

#include <QByteArray>
#include <QString>

#include <boost/optional.hpp>

#include <string>

namespace oxa {

// A message body: F0 { E1 { D0 message type id, D1 sequence number }, service
// elements }, kept as bytes together with its parsed tree. The accessors read
// the fields every reply may carry; each but the type and the number searches
// the tree afresh.
class ZUVABody {
public:
    // The frame every body has: F0 { E1 { D0 type, D1 sequence }, ... }.
    inline static const Ber::BerTag& kBodyTag = *new Ber::BerTag(0xF0);
    inline static const Ber::BerTag& kEnvelopeTag = *new Ber::BerTag(0xE1);
    inline static const Ber::BerTag& kMessageTypeTag = *new Ber::BerTag(0xD0);
    inline static const Ber::BerTag& kSequenceNumberTag = *new Ber::BerTag(0xD1);

    ZUVABody() = default;
    // Parses the element at the start of the bytes (the parser's exceptions
    // pass unchanged) and requires E1/D0: std::invalid_argument
    // "unknown message type id in body" otherwise.
    explicit ZUVABody(QByteArray data);

    QString messageTypeId() const;
    QByteArray data() const;
    // D1 in E1, or 0.
    ECTMessageSequenceNumber sequenceNumber() const;
    // DF2D in BF8101 as hexadecimal text, or "???".
    ect::ECTRejectionCode rejectionCode() const;
    // DF940D in BF8101 unless absent, "0000" or "0001".
    boost::optional<ect::ECTIncidentCode> incidentCode() const;
    // DF13 among the elements held in the value of DF9460; none when that
    // value is not a readable list of elements.
    boost::optional<QString> merchantText() const;
    // DF9464 as hexadecimal text.
    boost::optional<QString> saleSystemActionIdentifier() const;

    // The byte table and the tree of the body for the certification log;
    // offsets start at the given one (the header's size) to continue its dump.
    std::string dumpWithLogOffsetStartAt(int offset) const;

private:
    void parseBody();

    QString m_messageTypeId;
    ECTMessageSequenceNumber m_sequenceNumber;
    QByteArray m_data;
    Ber::BerTlv m_root;
};

} // namespace oxa
