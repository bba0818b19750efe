#include "translators/JsonZUVASaleTransactionResponse.h"

#include "common/QuotedText.h"
#include "encoding/ZUVAUtils.h"
#include "engine/base/ECTCertificationLogging.h"
#include "engine/base/HostWarning.h"
#include "recovery/RecoveryRefusedAtExit.h"
#include "recovery/ZUVARecoveryFileManager.h"
#include "recovery/ZUVARecoveryItem.h"
#include "translators/RetailReplyFields.h"
#include "translators/ZUVATags.h"

#include <ctime>
#include <exception>
#include <memory>

namespace oxa {

using namespace tags;

namespace {

using Fields = RetailReplyFields;

const Ber::BerTag& TransactionIdentifier = *new Ber::BerTag(0xDF, 0x1E);
const Ber::BerTag& AdditionalAmount = *new Ber::BerTag(0x9F, 0x03);
const Ber::BerTag& MerchantText = *new Ber::BerTag(0xDF, 0x13);
const Ber::BerTag& MerchantUser = *new Ber::BerTag(0x9F, 0x16);
const Ber::BerTag& SchemeIdentifier = *new Ber::BerTag(0xDF, 0x82, 0x05);
const Ber::BerTag& TransactionLogRecord = *new Ber::BerTag(0xDF, 0x91, 0x5B);

const QString& kPartialApproval = *new QString(QStringLiteral("0001"));
const char* const kDateFormat = "%Y-%m-%d-%H-%M-%S";

std::string currentLocalDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, kDateFormat, &local);
    return text;
}

// The whole text must match; fields not given stay zero.
bool parseDate(std::string const& text, std::tm& date)
{
    date = std::tm{};
    const char* end = strptime(text.c_str(), kDateFormat, &date);
    return end != nullptr && *end == '\0';
}

std::string textOrEmpty(boost::optional<QString> const& value)
{
    return value ? value->toStdString() : std::string();
}

void logCertification(std::string const& text)
{
    ECTCertificationLogging::sharedInstance().log(text);
}

} // namespace

JsonZUVASaleTransactionResponse::JsonZUVASaleTransactionResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rd"))
{
}

QJsonObject JsonZUVASaleTransactionResponse::readResult(QByteArray const& body) const
{
    return saleResult(body);
}

QJsonObject JsonZUVASaleTransactionResponse::saleResult(QByteArray const& body)
{
    const Ber::BerTlv root = parseBody(body);
    const QJsonObject fields = resultFields(root);
    const QJsonObject verification = fields.value(QStringLiteral("cardHolderVerificationMethod")).toObject();
    if (verification.value(QStringLiteral("processedInBackupMode")).toBool(false))
        recordBackupModeSale(root, fields.value(QStringLiteral("date")).toString());
    return fields;
}

QJsonObject JsonZUVASaleTransactionResponse::resultFields(Ber::BerTlv const& root)
{
    QJsonObject fields;
    Fields::insertPaymentFields(root, fields);
    Fields::insertCardFields(root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("terminalIdentifier"), tags::ServiceData, TerminalIdentifier, root,
                              fields);
    const auto incident = Ber::getValueAsHexaString(root, tags::OptionalData, IncidentCode);
    if (incident && *incident == kPartialApproval)
        fields.insert(QStringLiteral("partialApproval"), true);
    insertDate(root, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("transactionIdentifier"), tags::ServiceData, TransactionIdentifier,
                             root, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("periodNumber"), tags::ServiceData, PeriodNumber, root, fields);
    Ber::jsonInsertOptTagDouble(QStringLiteral("additionalAmount"), tags::ServiceData, AdditionalAmount, root,
                                fields);
    Ber::jsonInsertOptTagInt(QStringLiteral("acquirerId"), AcquirerIdentifier, root, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("proprietaryData"), tags::OptionalData, ProprietaryData, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("authorizationCode"), tags::ServiceData, AuthorizationCode, root,
                              fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("ticketLayoutIdentifier"), tags::TicketData, LayoutIdentifier, root,
                             fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("ticketDiscreteElements"), tags::TicketData, DiscreteElements, root,
                             fields);
    if (const auto merchantElements = Fields::heldElements(Ber::getValue(root, tags::PrivateData))) {
        if (const auto text = Ber::getValueAsHexaString(*merchantElements, MerchantText))
            fields.insert(QStringLiteral("merchantText"), *text);
        if (const auto text = Ber::getValueAsString(*merchantElements, AcquirerDiscretionaryData))
            fields.insert(QStringLiteral("acquirerDiscretionaryData"), *text);
    }
    return fields;
}

// From the service data, else from the ticket elements, else the current local time.
void JsonZUVASaleTransactionResponse::insertDate(Ber::BerTlv const& root, QJsonObject& fields)
{
    const QString key = QStringLiteral("date");
    if (Ber::jsonInsertOptTagHexForDate(key, tags::ServiceData, tags::Date, root, fields))
        return;
    const auto ticketElements = Fields::heldElements(Ber::getValue(root, tags::TicketData, DiscreteElements));
    if (ticketElements && Ber::jsonInsertOptTagHexForDate(key, tags::Date, *ticketElements, fields))
        return;
    fields.insert(key, QString::fromStdString(currentLocalDate()));
}

QString JsonZUVASaleTransactionResponse::describeLateReply(QByteArray const& body) const
{
    const QJsonObject fields = resultFields(parseBody(body));
    const QJsonValue amount = fields.value(QStringLiteral("authorizedAmount"));
    const QString currency = fields.value(QStringLiteral("currency")).toString();
    return QStringLiteral("amount %1, transaction identifier %2")
        .arg(amount.isDouble() ? QString::number(amount.toDouble(), 'f', 2) + (currency.isEmpty() ? "" : " " + currency)
                               : QStringLiteral("unknown"),
             fields.value(QStringLiteral("transactionIdentifier")).toString(QStringLiteral("unknown")));
}

bool JsonZUVASaleTransactionResponse::mustReachHost(QByteArray const& body) const
{
    return Fields::holdsAuthorizedAmount(parseBody(body));
}

boost::optional<std::int64_t> JsonZUVASaleTransactionResponse::approvedAmount(QByteArray const& body) const
{
    return Fields::authorizedAmount(parseBody(body));
}

void JsonZUVASaleTransactionResponse::recordBackupModeSale(Ber::BerTlv const& root, QString const& date)
{
    std::tm creationDate{};
    if (!parseDate(date.toStdString(), creationDate)) {
        const std::string now = currentLocalDate();
        logCertification("Backup-mode sale with unreadable date \"" + date.toStdString()
                         + "\" recorded with the current time " + now);
        parseDate(now, creationDate);
    }
    const auto privateElements = Fields::heldElements(Ber::getValue(root, tags::CardData, tags::PrivateData));
    const auto item = std::make_shared<ect::ZUVARecoveryItem>();
    item->acquirerId(textOrEmpty(Ber::getValueAsHexaString(root, tags::CardData, AcquirerIdentifier)));
    item->terminalId(textOrEmpty(Ber::getValueAsString(root, tags::ServiceData, TerminalIdentifier)));
    item->batchId(textOrEmpty(Ber::getValueAsHexaString(root, tags::ServiceData, PeriodNumber)));
    item->merchantUserId(textOrEmpty(Ber::getValueAsString(root, tags::CardData, MerchantUser)));
    if (privateElements) {
        item->schemeId(textOrEmpty(Ber::getValueAsHexaString(*privateElements, SchemeIdentifier)));
        item->transactionLogRecord(textOrEmpty(Ber::getValueAsHexaString(*privateElements, TransactionLogRecord)));
    }
    item->creationDate(creationDate);
    bool saved = false;
    try {
        saved = ect::ZUVARecoveryFileManager::instance().saveRecoveryItem(item);
    } catch (ect::RecoveryRefusedAtExit const&) {
        // Not recorded: the sale is not reported approved.
        throw;
    } catch (std::exception const& e) {
        HostWarning::report(std::string("Saving a backup-mode sale failed: ") + e.what());
    }
    if (!saved) {
        HostWarning::report("Backup-mode sale of terminal " + ect::QuotedText::of(item->terminalId()) + ", acquirer "
                            + ect::QuotedText::of(item->acquirerId()) + " not recorded in the recovery files");
    }
}

} // namespace oxa
