// libFuzzer target: whatever request text a host sends, the terminal
// connection's request side (request handler and every registered request
// translator) either refuses it with an error the C interface reports
// (std::exception or ect::ECTError) or hands the dispatcher a message it can
// send: a 38-byte header announcing exactly the body's length, at most 9999
// bytes, that parses back to the same bytes.
//
// Input: the first byte picks the action (bits 0-4) and how the rest is used;
// the rest is the JSON text.
//   bit 7 clear: the text holds the members of "transaction"; the picked
//                action is put in as "action". A "serviceSettings" member is
//                taken out and becomes the settings (over the defaults).
//   bit 7 set:   the text is the whole request document, sent as it is.
//   bit 6 set:   the request comes while the host answers a delivery
//                question (what a "ProductDelivery" needs).
#include "common/ECTError.h"
#include "encoding/ECTMessageLength.h"
#include "encoding/ber/BerTlvBuilder.h"
#include "encoding/ber/BerTlvParser.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/core/JsonTransactionRequestHandlerImpl.h"
#include "engine/core/TransactionDispatcher.h"
#include "translators/JsonProductDeliveryRequest.h"
#include "translators/ZUVATransactionTable.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <boost/optional.hpp>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define ZUVA_FUZZ_HAS_LSAN 1
#endif
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

namespace {

// The actions of the terminal connection's transaction table.
const char* const kActions[] = {
    "Sale", "CancelSale", "SaleWithDeliveryConfirmation", "ProductDelivery", "SaleWithCashback",
    "Reservation", "SaleAfterReservation", "CancelReservation", "CancelSaleAfterReservation", "Refund",
    "SaleAfterVoiceReferral", "CashAdvance", "CancelCashAdvance", "CashAdvanceAfterVoiceReferral",
    "BalanceTerminalConsultation", "BackupMode", "BackupModeStatus", "RequestCardInfo", "CheckCardValidity",
    "InformationService", "LastTransaction", "MMIOpen", "MMIClose", "MMITransaction", "CancelRetail",
    "TicketGet", "PrintTicket", "TicketPrintAtOnce",
};
constexpr int kActionCount = sizeof(kActions) / sizeof(kActions[0]);

constexpr std::uint8_t kWholeDocument = 0x80;
constexpr std::uint8_t kAnsweringDeliveryQuestion = 0x40;

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_host_requests: %s\n", what);
    std::abort();
}

// Stands in for the connection's dispatcher: checks each message the request
// handler would have written and sends nothing.
class CheckingDispatcher : public oxa::TransactionDispatcher {
public:
    void dispatch(std::unique_ptr<oxa::ZUVATransaction> transaction) override
    {
        if (!transaction || !transaction->request || !transaction->response)
            finding("transaction without translators");
        const QByteArray header = transaction->header.data();
        const QByteArray body = transaction->body.data();
        if (header.size() != oxa::ZUVAHeader::kSize)
            finding("header is not 38 bytes");
        if (body.isEmpty() || body.size() > oxa::ECTMessageLength::kMaximum)
            finding("body length cannot be announced");
        if (oxa::ZUVAHeader(header).length().length() != body.size())
            finding("header announces another length than the body's");
        const Ber::BerData bytes(body);
        if (Ber::BerTlvBuilder(Ber::BerTlvParser().parseConstructed(bytes)).buildData() != bytes)
            finding("body does not parse back to the same bytes");
        const int sequence = transaction->body.sequenceNumber().value();
        if (sequence < 1 || sequence > 99)
            finding("sequence number out of 1..99");
    }
    void closeTransaction(QSharedPointer<oxa::ZUVATransaction>) override {}
    void reportTransactionError(ect::ECTError const&) override {}
    void reportMessageError(QByteArray const&, ect::ECTError const&) override {}
    bool isInFlight(QByteArray const&) const override { return false; }
    void resetTransaction() override {}
    std::uint64_t sentSoFar() const override { return 0; }
    void failTransactions(ect::ECTError const&, std::uint64_t) override {}
    QSharedPointer<oxa::ZUVATransaction> getPendingTransaction(QString) const override { return {}; }
    ReplyOwner findReplyOwner(oxa::ReplyMatcher::Reply const&) override { return {}; }
    bool holdsSequenceNumber(int) const override { return false; }
    void setOnStartTransactionCallback(std::function<void()>) override {}
    void setOnEndTransactionCallback(std::function<void()>) override {}
};

// One terminal connection's request side, kept for the whole run like a
// connection serving one host request after the other.
struct Connection {
    Connection()
    {
        oxa::ZUVATransactionTable::registerTransactions(*handler, environment, handler);
        for (const char* action : kActions) {
            if (!handler->getTransactionHandlers(QString::fromLatin1(action)).request)
                finding("action missing from the transaction table");
        }
    }

    // The defaults with the host's settings over them; the certification log
    // stays off (it would write files wherever the settings say).
    void applySettings(QJsonObject const& settings)
    {
        QJsonObject values = defaults;
        for (auto member = settings.begin(); member != settings.end(); ++member) {
            if (!member.key().startsWith(QLatin1String("certification")))
                values.insert(member.key(), member.value());
        }
        environment->update(QJsonObject{{QStringLiteral("serviceSettings"), values}});
    }

    std::shared_ptr<oxa::OXAEnvironment> environment = oxa::makeOXAEnvironment();
    QJsonObject const defaults = environment->toJson().value(QStringLiteral("serviceSettings")).toObject();
    std::shared_ptr<oxa::JsonTransactionRequestHandlerImpl> handler =
        std::make_shared<oxa::JsonTransactionRequestHandlerImpl>(std::make_shared<CheckingDispatcher>());
};

// Qt 5.15's JSON parser loses the earlier value of a member repeated with an
// object value (a few hundred bytes a request). That leak is Qt's: what the
// parser allocates is not checked, every later leak is.
QJsonDocument parsedJson(QByteArray const& text)
{
#ifdef ZUVA_FUZZ_HAS_LSAN
    const __lsan::ScopedDisabler qtParserAllocations;
#endif
    return QJsonDocument::fromJson(text);
}

QJsonDocument requestDocument(Connection& connection, std::uint8_t mode, QByteArray const& text)
{
    const QJsonDocument parsed = parsedJson(text);
    if (mode & kWholeDocument) {
        connection.applySettings(QJsonObject());
        return parsed;
    }
    QJsonObject fields = parsed.object();
    connection.applySettings(fields.take(QStringLiteral("serviceSettings")).toObject());
    fields.insert(QStringLiteral("action"), QLatin1String(kActions[(mode & 0x1F) % kActionCount]));
    return QJsonDocument(QJsonObject{{QStringLiteral("transaction"), fields}});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    static Connection* const connection = new Connection();
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const QByteArray text(reinterpret_cast<char const*>(data + 1), int(size - 1));
    const QJsonDocument document = requestDocument(*connection, mode, text);
    boost::optional<oxa::JsonProductDeliveryRequest::AnswerScope> answering;
    if (mode & kAnsweringDeliveryQuestion)
        answering.emplace();
    try {
        connection->handler->makeTransaction(
            document, [](QJsonDocument) { finding("result delivered while the request was prepared"); },
            [](QJsonDocument question) { return question; });
    } catch (std::exception const&) {
    } catch (ect::ECTError const&) {
    }
    return 0;
}
