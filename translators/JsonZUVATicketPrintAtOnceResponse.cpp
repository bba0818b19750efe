#include "translators/JsonZUVATicketPrintAtOnceResponse.h"

namespace oxa {

namespace {

const Ber::BerTag Language(0xDF, 0x1A);
const Ber::BerTag LayoutIdentifier(0xDF, 0x94, 0x0F);
const Ber::BerTag DiscreteElements(0xDF, 0x94, 0x11);
const Ber::BerTag TicketText(0xDF, 0x17);

} // namespace

JsonZUVATicketPrintAtOnceResponse::JsonZUVATicketPrintAtOnceResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rw"))
{
}

QJsonObject JsonZUVATicketPrintAtOnceResponse::readResult(const QByteArray& body) const
{
    const Ber::BerTlv root = parseBody(body);
    QJsonObject fields;
    insertText(fields, QStringLiteral("language"), find(root, Language));
    insertHex(fields, QStringLiteral("layoutIdentifier"), find(root, LayoutIdentifier));
    insertHex(fields, QStringLiteral("discreteElements"), find(root, DiscreteElements));
    // The text as printed, a trailing form feed included.
    insertText(fields, QStringLiteral("formattedTicket"), find(root, TicketText));
    return fields;
}

} // namespace oxa
