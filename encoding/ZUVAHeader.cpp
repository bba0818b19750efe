#include "encoding/ZUVAHeader.h"

#include <cstdio>
#include <stdexcept>

namespace oxa {

namespace {

struct HeaderField {
    int offset;
    int size;
    char const* label; // exactly ten characters
};

HeaderField const kFields[] = {
    {0, 2, "  Code    "},  {2, 2, "  Prot    "},  {4, 10, "  RFU     "},
    {14, 2, "  Dest    "}, {16, 10, "  RFU     "}, {26, 2, "  Orig    "},
    {28, 7, "  RFU     "}, {35, 1, "  Type    "},  {36, 2, "  Len     "},
};

constexpr int kCodeOffset = 0;
constexpr int kProtocolOffset = 2;
constexpr int kDestinationOffset = 14;
constexpr int kOriginOffset = 26;
constexpr int kTypeOffset = 35;
constexpr int kLengthOffset = 36;
constexpr int kMaximumType = 1;

char const kProtocol[] = {0x01, 0x00};
char const kOrigin[] = {0x0A, 0x0B};
constexpr int kLongReservedSize = 10;
constexpr int kShortReservedSize = 7;
constexpr char kRequestType = 0x00;

QString codeOf(QByteArray const& data)
{
    QByteArray code = data.mid(kCodeOffset, 2);
    int const zero = code.indexOf('\0');
    if (zero >= 0)
        code.truncate(zero);
    return QString::fromLatin1(code);
}

Ber::BerData bytesAt(QByteArray const& data, int offset, int size)
{
    return Ber::BerData(data.mid(offset, size));
}

std::string offsetText(int offset)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d", offset);
    return text;
}

QByteArray toByteArray(Ber::BerData const& data)
{
    return QByteArray(reinterpret_cast<char const*>(data.data()), static_cast<int>(data.length()));
}

} // namespace

ZUVAHeader::ZUVAHeader(QByteArray data)
{
    if (data.size() < kSize)
        throw std::invalid_argument("message data length too small");
    int const type = static_cast<unsigned char>(data.at(kTypeOffset));
    if (type > kMaximumType)
        throw std::invalid_argument("message header type invalid (must be 0 or 1)");
    QString const code = codeOf(data);
    if (code != QLatin1String("MC"))
        throw std::invalid_argument("message code invalid (must be MC)");

    m_type = type;
    m_code = code;
    m_protocol = data.mid(kProtocolOffset, 2);
    m_destination = data.mid(kDestinationOffset, 2);
    m_origin = data.mid(kOriginOffset, 2);
    m_length = ECTMessageLength(bytesAt(data, kLengthOffset, 2));
    m_data = std::move(data);
}

QByteArray ZUVAHeader::data() const
{
    return m_data;
}

QString ZUVAHeader::code() const
{
    return m_code;
}

QByteArray ZUVAHeader::protocol() const
{
    return m_protocol;
}

QByteArray ZUVAHeader::destination() const
{
    return m_destination;
}

QByteArray ZUVAHeader::origin() const
{
    return m_origin;
}

int ZUVAHeader::type() const
{
    return m_type;
}

ECTMessageLength ZUVAHeader::length() const
{
    return m_length;
}

std::string ZUVAHeader::dump() const
{
    std::string text = "Offset        Data (byte stream)\n";
    text += std::string(32, '-') + "\n";
    for (HeaderField const& field : kFields) {
        text += offsetText(field.offset);
        text += field.label;
        text += bytesAt(m_data, field.offset, field.size).stringValueWithSpaces();
        text += "\n";
    }
    text += "\n";
    return text;
}

QByteArray buildZUVARequestHeader(Ber::BerData const& destination, Ber::BerData const& length)
{
    QByteArray header;
    header.reserve(ZUVAHeader::kSize);
    header.append("MC");
    header.append(kProtocol, sizeof kProtocol);
    header.append(kLongReservedSize, '\0');
    header.append(toByteArray(destination));
    header.append(kLongReservedSize, '\0');
    header.append(kOrigin, sizeof kOrigin);
    header.append(kShortReservedSize, '\0');
    header.append(kRequestType);
    header.append(toByteArray(length));
    return header;
}

} // namespace oxa
