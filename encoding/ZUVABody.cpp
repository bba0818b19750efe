#include "encoding/ZUVABody.h"

#include "encoding/TerminalText.h"
#include "encoding/ZUVAUtils.h"
#include "encoding/ber/BerTlvParser.h"
#include "encoding/ber/BerTlvUtils.h"
#include "encoding/ber/BerTlvs.h"

#include <cstring>
#include <stdexcept>

namespace oxa {

namespace {

Ber::BerTag const& kResultTag = *new Ber::BerTag(0xBF, 0x81, 0x01);
Ber::BerTag const& kRejectionCodeTag = *new Ber::BerTag(0xDF, 0x2D);
Ber::BerTag const& kIncidentCodeTag = *new Ber::BerTag(0xDF, 0x94, 0x0D);
Ber::BerTag const& kMerchantDataTag = *new Ber::BerTag(0xDF, 0x94, 0x60);
Ber::BerTag const& kMerchantTextTag = *new Ber::BerTag(0xDF, 0x13);
Ber::BerTag const& kSaleSystemActionIdentifierTag = *new Ber::BerTag(0xDF, 0x94, 0x64);

char const kUnknownRejectionCode[] = "???";

// The text of the bytes up to the first zero byte.
QString textUpToZero(Ber::BerData const& bytes)
{
    char const* const text = reinterpret_cast<char const*>(bytes.data());
    std::size_t const size = bytes.length();
    void const* const zero = size == 0 ? nullptr : std::memchr(text, 0, size);
    std::size_t const used = zero ? static_cast<char const*>(zero) - text : size;
    return terminalText(text, used);
}

// The elements held in the merchant data. Unreadable data counts as none: the
// reply's error is reported without merchant text rather than not at all.
Ber::BerTlvs merchantElements(Ber::BerData const& value)
{
    try {
        return Ber::BerTlvParser().parseTlvs(value);
    } catch (std::invalid_argument const&) {
    } catch (std::out_of_range const&) {
    }
    return Ber::BerTlvs();
}

} // namespace

ZUVABody::ZUVABody(QByteArray data)
    : m_data(std::move(data))
    , m_root(Ber::BerTlvParser().parseConstructed(Ber::BerData(m_data)))
{
    parseBody();
}

void ZUVABody::parseBody()
{
    boost::optional<Ber::BerTlv> const messageType = Ber::getValue(m_root, kEnvelopeTag, kMessageTypeTag);
    if (!messageType)
        throw std::invalid_argument("unknown message type id in body");
    m_messageTypeId = textUpToZero(messageType->value);
    // Read for every reply, often more than once: kept, as the type is.
    if (boost::optional<Ber::BerTlv> const number = Ber::getValue(m_root, kEnvelopeTag, kSequenceNumberTag))
        m_sequenceNumber = ECTMessageSequenceNumber(number->value);
}

QString ZUVABody::messageTypeId() const
{
    return m_messageTypeId;
}

QByteArray ZUVABody::data() const
{
    return m_data;
}

ECTMessageSequenceNumber ZUVABody::sequenceNumber() const
{
    return m_sequenceNumber;
}

ect::ECTRejectionCode ZUVABody::rejectionCode() const
{
    boost::optional<Ber::BerTlv> const code = Ber::getValue(m_root, kResultTag, kRejectionCodeTag);
    return ect::ECTRejectionCode(code ? code->hexValue() : kUnknownRejectionCode);
}

boost::optional<ect::ECTIncidentCode> ZUVABody::incidentCode() const
{
    boost::optional<Ber::BerTlv> const element = Ber::getValue(m_root, kResultTag, kIncidentCodeTag);
    if (!element)
        return boost::none;
    ect::ECTIncidentCode code(element->hexValue());
    if (code.isSuccess())
        return boost::none;
    return code;
}

boost::optional<QString> ZUVABody::merchantText() const
{
    boost::optional<Ber::BerTlv> const merchantData = m_root.find(kMerchantDataTag);
    if (!merchantData)
        return boost::none;
    boost::optional<Ber::BerTlv> const text = merchantElements(merchantData->value).find(kMerchantTextTag);
    if (!text)
        return boost::none;
    return terminalText(*text);
}

boost::optional<QString> ZUVABody::saleSystemActionIdentifier() const
{
    boost::optional<Ber::BerTlv> const identifier = m_root.find(kSaleSystemActionIdentifierTag);
    if (!identifier)
        return boost::none;
    return QString::fromStdString(identifier->hexValue());
}

std::string ZUVABody::dumpWithLogOffsetStartAt(int offset) const
{
    std::string text = "Offset        Data (byte stream)\n";
    text += std::string(32, '-') + "\n\n";
    text += Ber::BerTlvUtils::dumpDataRepresentation(m_root, &offset);
    text += "\n\n";
    text += "BerTlv format:\n";
    text += m_root.dump("  ");
    text += "\n\n";
    return text;
}

} // namespace oxa
