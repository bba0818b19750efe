#include "translators/JsonZUVATicketPrintAtOnceResponse.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

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
