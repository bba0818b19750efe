#include "translators/JsonZUVATicketPrintAtOnceResponse.h"

#include "encoding/ZUVAUtils.h"
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
    Ber::jsonInsertOptTagText(QStringLiteral("language"), Language, root, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("layoutIdentifier"), LayoutIdentifier, root, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("discreteElements"), DiscreteElements, root, fields);
    // The text as printed, a trailing form feed included.
    Ber::jsonInsertOptTagText(QStringLiteral("formattedTicket"), TicketText, root, fields);
    return fields;
}

} // namespace oxa
