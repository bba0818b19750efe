#pragma once

#include "encoding/ECTMessageLength.h"
#include "encoding/ber/BerData.h"

#include <QByteArray>
#include <QString>

#include <string>

namespace oxa {

// The 38-byte header in front of every message body:
//   0 "MC" | 2 protocol | 4 reserved(10) | 14 destination | 16 reserved(10)
//   | 26 origin | 28 reserved(7) | 35 type (0 or 1) | 36 body length (packed BCD)
class ZUVAHeader {
public:
    static constexpr int kSize = 38;

    // An empty header (no bytes, length 0), to be replaced by a parsed one.
    ZUVAHeader() = default;
    // Parses and checks the first 38 bytes and keeps all bytes given.
    // Throws std::invalid_argument on fewer than 38 bytes, a type above 1
    // or a code other than "MC" (checked in that order).
    explicit ZUVAHeader(QByteArray data);

    QByteArray data() const;
    QString code() const;
    QByteArray protocol() const;
    QByteArray destination() const;
    QByteArray origin() const;
    int type() const;
    // The length of the body that follows the header.
    ECTMessageLength length() const;

    // The nine fields of the first 38 bytes, one line each, for the certification log.
    std::string dump() const;

private:
    QByteArray m_data;
    QString m_code;
    QByteArray m_protocol;
    QByteArray m_destination;
    QByteArray m_origin;
    int m_type = 0;
    ECTMessageLength m_length;
};

// The header of a request: "MC", protocol 01 00, the destination code, origin
// 0A 0B, type 00 and the length bytes (ECTMessageLength::data()). The
// arguments are appended as given; with 2 bytes each the result has 38 bytes.
QByteArray buildZUVARequestHeader(Ber::BerData const& destination, Ber::BerData const& length);

} // namespace oxa
