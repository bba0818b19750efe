#include "translators/JsonZUVATicketPrintAtOnceRequest.h"

#include "common/ECTError.h"
#include "encoding/ECTDataHexa.h"
#include "encoding/ECTMessageLength.h"
#include "encoding/StringUtils.h"
#include "translators/OperationRequestFields.h"
#include "translators/RetailRequestFields.h"
#include "translators/ZUVATags.h"

#include <algorithm>
#include <string>

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& TextFollows = *new Ber::BerTag(0xDF, 0x94, 0x0E);
const Ber::BerTag& TicketKind = *new Ber::BerTag(0xDF, 0x94, 0x69);
const Ber::BerTag& PrintOptions = *new Ber::BerTag(0xDF, 0x94, 0x28);
const char FormFeed = 0x0C;

const QString& kNoPaperFeed = *new QString(QStringLiteral("noPaperFeed"));
const QString& kNoPaperCut = *new QString(QStringLiteral("noPaperCut"));
const QString& kCopyAllowed = *new QString(QStringLiteral("copyAllowed"));
const QString& kDuplicates = *new QString(QStringLiteral("duplicates"));

// The parsed request.
struct TicketPrintAtOnceData {
    QString language;
    Ber::BerData layoutIdentifier;
    Ber::BerData discreteElements;
    QString formattedTicketText;
    int ticketKind = 1; // 0 merchant ticket, 1 client ticket
    bool noPaperFeed = false;
    bool noPaperCut = false;
    bool copyAllowed = false;
    bool duplicates = false;
};

ect::ECTError invalidTicketText(const std::string& reason)
{
    return ect::ECTError(ect::ECTErrorCode::Rejected, ect::ECTErrorCauseCode::RetailService_InvalidTicketText,
                         {{"reason", reason}});
}

TicketPrintAtOnceData parseJson(const QJsonObject& transaction)
{
    if (transaction.isEmpty())
        throw std::invalid_argument("Invalid JSON");
    TicketPrintAtOnceData data;
    data.language = transaction.value(QStringLiteral("language")).toString();
    data.formattedTicketText = transaction.value(QStringLiteral("formattedTicketText")).toString();
    if (data.formattedTicketText.size() > JsonZUVATicketPrintAtOnceRequest::kMaximumTicketTextLength) {
        throw ect::ECTError(ect::ECTErrorCode::Rejected,
                            ect::ECTErrorCauseCode::RetailService_InvalidTicketText);
    }
    data.layoutIdentifier =
        OperationRequestFields::hexField(transaction, QStringLiteral("layoutIdentifier")).value_or(Ber::BerData());
    data.discreteElements =
        OperationRequestFields::hexField(transaction, QStringLiteral("discreteElements")).value_or(Ber::BerData());
    data.ticketKind = transaction.value(QStringLiteral("merchantTicket")).toBool(false) ? 0 : 1;
    const QJsonObject options = transaction.value(QStringLiteral("options")).toObject();
    data.noPaperFeed = options.value(kNoPaperFeed).toBool(false);
    data.noPaperCut = options.value(kNoPaperCut).toBool(false);
    data.copyAllowed = options.value(kCopyAllowed).toBool(false);
    data.duplicates = options.value(kDuplicates).toBool(false);
    return data;
}

// Bit 0x01 no paper feed, 0x02 no paper cut, 0x10 copy allowed, 0x20 duplicates.
Ber::BerData optionByte(const TicketPrintAtOnceData& data)
{
    std::string bits = "00000000";
    const auto set = [&bits](bool flag, size_t bit) {
        if (flag)
            bits[bit] = '1';
    };
    set(data.noPaperFeed, 0);
    set(data.noPaperCut, 1);
    set(data.copyAllowed, 4);
    set(data.duplicates, 5);
    std::reverse(bits.begin(), bits.end());
    return ECTDataHexa(StringUtils::convertBinaryToHexa(bits));
}

Ber::BerTlv textTicket(const TicketPrintAtOnceData& data)
{
    Ber::BerTlv ticket(TicketData);
    ticket.addData(TextFollows, Ber::BerData{0x01});
    ticket.addData(TicketText, Ber::BerData(data.formattedTicketText.toUtf8().append(FormFeed)));
    return ticket;
}

Ber::BerTlv heldTicket(const TicketPrintAtOnceData& data)
{
    Ber::BerTlv ticket(TicketData);
    const unsigned char kind = data.ticketKind == 0 ? 0x01 : 0x02;
    ticket.addData(TicketKind, Ber::BerData{0x00, 0x00, 0x00, kind});
    ticket.addData(PrintOptions, optionByte(data));
    ticket.addData(Language, Ber::BerData(data.language.toUtf8()));
    ticket.addData(LayoutIdentifier, data.layoutIdentifier);
    ticket.addData(DiscreteElements, data.discreteElements);
    return ticket;
}

} // namespace

JsonZUVATicketPrintAtOnceRequest::JsonZUVATicketPrintAtOnceRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Cw"), Ber::BerData{0x00, 0x06},
                             std::chrono::seconds(5))
{
}

JsonZUVATicketPrintAtOnceRequest::JsonZUVATicketPrintAtOnceRequest(std::shared_ptr<OXAEnvironment> environment,
                                                                   QJsonObject fixedOptions)
    : JsonZUVATicketPrintAtOnceRequest(std::move(environment))
{
    m_fixedOptions = std::move(fixedOptions);
}

QJsonObject JsonZUVATicketPrintAtOnceRequest::options(bool noPaperFeed, bool noPaperCut, bool copyAllowed,
                                                      bool duplicates)
{
    return QJsonObject{
        {kNoPaperFeed, noPaperFeed}, {kNoPaperCut, noPaperCut}, {kCopyAllowed, copyAllowed}, {kDuplicates, duplicates}};
}

void JsonZUVATicketPrintAtOnceRequest::addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder)
{
    QJsonObject transaction = transactionOf(request);
    if (m_fixedOptions)
        transaction.insert(QStringLiteral("options"), *m_fixedOptions);
    const TicketPrintAtOnceData data = parseJson(transaction);
    const bool printsText = !data.formattedTicketText.isEmpty();
    builder.addBerTlv(printsText ? textTicket(data) : heldTicket(data));
    // 4096 characters may take up to three times as many bytes in UTF-8: a
    // body longer than the header can announce is refused, never sent.
    const int bodySize = static_cast<int>(builder.buildData().length());
    if (bodySize > ECTMessageLength::kMaximum) {
        const std::string reason = "the ticket request body of " + std::to_string(bodySize)
                                   + " bytes is longer than " + std::to_string(ECTMessageLength::kMaximum);
        throw printsText ? invalidTicketText(reason) : RetailRequestFields::invalidRequest(reason);
    }
}

} // namespace oxa
