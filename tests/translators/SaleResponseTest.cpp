#include "RetailTestKit.h"

#include "recovery/ZUVARecoveryFileManager.h"
#include "translators/JsonZUVALastTransactionRequest.h"
#include "translators/JsonZUVALastTransactionResponse.h"
#include "translators/JsonProductDeliveryResponse.h"
#include "translators/JsonZUVASaleTransactionResponse.h"

#include "tests/support/CertificationLog.h"
#include "tests/support/FileText.h"
#include "tests/support/LocalTime.h"
#include "tests/support/QtWarnings.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace retailtest;

namespace {

QJsonObject saleResult(const std::vector<SimTlv>& elements)
{
    return resultOf(oxa::JsonZUVASaleTransactionResponse(), "Rd", elements);
}

// The contents of every file below the folder.
QString filesBelow(const QString& folder)
{
    QString contents;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        contents += QString::fromUtf8(testsupport::contentOf(it.next()));
    return contents;
}

// A sale processed in backup mode, with everything a recovery item needs.
std::vector<SimTlv> backupModeSale(const std::string& terminal, const std::string& dateHex)
{
    return {element("BF8116", {SimTlv::text("9F1C", terminal), SimTlv::hex("C5", "000042"), SimTlv::hex("9F34", "0080"),
                         SimTlv::hex("DF27", dateHex)}),
            element("BF8104", {SimTlv::hex("DF68", "12345678"), SimTlv::text("9F16", "MERCHANT7"),
                               holding("DF9460", {SimTlv::hex("DF8205", "0A0B"), SimTlv::hex("DF915B", "CAFE")})})};
}

} // namespace

TEST(SaleResponse, ReadsEveryFieldOfAFullReply)
{
    const QJsonObject result = saleResult(
        {element("BF8101", {SimTlv::hex("DF940D", "0001"), SimTlv::hex("DF9413", "BEEF")}),
         element("BF8116", {SimTlv::text("DF1A", "fr"), SimTlv::text("9F1C", "TERM0001"), SimTlv::hex("9F34", "4000"),
                      SimTlv::hex("DF1E", "000123"), SimTlv::hex("C5", "0007"), SimTlv::hex("DF26", "000000001234"),
                      SimTlv::hex("9F03", "000000000500"), SimTlv::hex("5F2A", "0978"), SimTlv::text("89", "AUTH01"),
                      SimTlv::hex("DF27", "20240309090507")}),
         SimTlv::hex("DF68", "00000042"), SimTlv::hex("DF9464", "0000ABCD"),
         element("EB", {SimTlv::hex("DF9406", "80"), SimTlv::text("DF46", "4970XXXX1234")}),
         element("BF8104", {SimTlv::hex("DF5F", "1001"), SimTlv::text("DF7E", "CB")}),
         element("BF8108", {SimTlv::hex("DF940F", "01"), SimTlv::hex("DF9411", "DF0101")}),
         holding("DF9460", {SimTlv::hex("DF13", "4F4B"), SimTlv::text("DF30", "acq")})});
    // The card type and verification flags are read by the shared helpers, tested with them.
    QJsonObject rest = result;
    rest.remove("cardHolderVerificationMethod");
    rest.remove("cardType");
    const QJsonObject expected{
        {"language", "fr"}, {"terminalIdentifier", "TERM0001"}, {"partialApproval", true},
        {"date", "2024-03-09-09-05-07"}, {"transactionIdentifier", "000123"}, {"periodNumber", "0007"},
        {"authorizedAmount", 12.34}, {"additionalAmount", 5.0}, {"acquirerId", 42}, {"proprietaryData", "BEEF"},
        {"currency", "EUR"}, {"authorizationCode", "AUTH01"}, {"saleSystemActionIdentifier", "0000ABCD"},
        {"clippedPAN", "4970XXXX1234"}, {"cardBrandIdentifier", "1001"}, {"cardBrandName", "CB"},
        {"ticketLayoutIdentifier", "01"}, {"ticketDiscreteElements", "DF0101"}, {"merchantText", "4F4B"},
        {"acquirerDiscretionaryData", "acq"}};
    EXPECT_EQ(rest, expected);
}

// An amount, number or currency the library cannot read is left out with a
// warning naming it, never made up as 0: a charged card is no approval of 0.00.
TEST(SaleResponse, UnreadableAmountsNumbersAndCurrenciesAreLeftOutWithAWarning)
{
    const struct {
        const char* tag;
        const char* valueHex;
        const char* key;
        QJsonValue read; // undefined: left out
    } rows[] = {
        {"DF26", "000000001250", "authorizedAmount", 12.5},
        {"DF26", "000000000000", "authorizedAmount", 0},
        {"DF26", "", "authorizedAmount", QJsonValue::Undefined},
        {"DF26", "00000001250F", "authorizedAmount", QJsonValue::Undefined},
        {"DF26", "F00000001250", "authorizedAmount", QJsonValue::Undefined},
        {"DF26", "12345678901234567890", "authorizedAmount", QJsonValue::Undefined},
        {"9F03", "0000000002A0", "additionalAmount", QJsonValue::Undefined},
        {"9F03", "000000000200", "additionalAmount", 2.0},
        {"5F2A", "0999", "currency", QJsonValue::Undefined},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.tag) + " " + row.valueHex);
        testsupport::QtWarnings warnings;
        const std::vector<SimTlv> reply{element("BF8116", {SimTlv::hex(row.tag, row.valueHex), SimTlv::hex("5F2A", "0978")})};
        const QJsonObject sale = saleResult(reply);
        EXPECT_EQ(sale.value(row.key), row.read);
        if (QLatin1String(row.key) != QLatin1String("currency")) {
            EXPECT_EQ(sale.value("currency"), "EUR");
        }
        EXPECT_EQ(resultOf(oxa::JsonZUVALastTransactionResponse(), "Re", reply).value(row.key), row.read);
        EXPECT_EQ(warnings.text().contains(row.key), row.read.isUndefined()) << warnings.text().toStdString();
    }
    // The acquirer's number likewise.
    EXPECT_FALSE(saleResult({SimTlv::hex("DF68", "0000004F")}).contains("acquirerId"));
}

// Without a date in the service data the ticket elements give it; the clipped
// PAN of the card's private data wins over the card description's.
TEST(SaleResponse, DateAndPanFallBackInOrder)
{
    const QJsonObject result =
        saleResult({element("BF8108", {holding("DF9411", {SimTlv::hex("DF27", "20250131123456")})}),
                    element("EB", {SimTlv::text("DF46", "EB-PAN")}),
                    element("BF8104", {holding("DF9460", {SimTlv::text("DF46", "PRIVATE")})})});
    EXPECT_EQ(result.value("date"), "2025-01-31-12-34-56");
    EXPECT_EQ(result.value("clippedPAN"), "PRIVATE");
}

// What a host is told of a sale reply that came after the sale had failed;
// a sale with delivery confirmation may end with the sale reply too. Only a
// body with an amount is a sale's: a card check's reply has the same type.
TEST(SaleResponse, ALateReplyIsDescribedByItsAmountAndTransactionIdentifier)
{
    const oxa::JsonZUVASaleTransactionResponse sale;
    const oxa::JsonProductDeliveryResponse delivery{std::weak_ptr<oxa::JsonTransactionRequestHandler>()};
    const std::vector<SimTlv> full{element(
        "BF8116", {SimTlv::hex("DF1E", "000123"), SimTlv::hex("DF26", "000000001234"), SimTlv::hex("5F2A", "0978")})};
    const struct {
        oxa::JsonZUVAResponse const& response;
        std::string type;
        std::vector<SimTlv> elements;
        QString described;
        bool saleReply; // as the sale translator reads the body
    } rows[] = {
        {sale, "Rd", full, "amount 12.34 EUR, transaction identifier 000123", true},
        {sale, "Rd", {element("BF8116", {SimTlv::hex("DF26", "000000000500")})},
         "amount 5.00, transaction identifier unknown", true},
        {sale, "Rd", {}, "amount unknown, transaction identifier unknown", false},
        // An amount it cannot read is still a sale's.
        {sale, "Rd", {element("BF8116", {SimTlv::hex("DF26", "F00000001250")})},
         "amount unknown, transaction identifier unknown", true},
        {sale, "Rd", {element("BF8116", {SimTlv::hex("DF27", "20240309090507")}), element("EB", {SimTlv::text("DF46", "1234")})},
         "amount unknown, transaction identifier unknown", false},
        {delivery, "Rd", full, "amount 12.34 EUR, transaction identifier 000123", true},
        {delivery, "CR", full, "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.described.toStdString());
        const QByteArray body = bytesOf(testsupport::SimMessage::buildBody(row.type, 7, row.elements));
        EXPECT_EQ(row.response.describeLateReply(body), row.described);
        EXPECT_EQ(sale.mustReachHost(body), row.saleReply);
    }
}

TEST(LastTransaction, BareEnvelopeWhateverTheDocumentAndASaleReply)
{
    oxa::JsonZUVALastTransactionRequest request(environmentWith());
    const QJsonObject noisy = transactionDocument({{"action", "LastTransaction"}, {"amount", "12.00"}, {"x", 1}});
    EXPECT_EQ(bodyHex(request, 7, noisy), "F009E107D0024365D10107");
    const std::vector<SimTlv> elements{element("BF8116", {SimTlv::hex("DF26", "000000001234")}),
                                       element("EB", {SimTlv::text("DF46", "1234")})};
    EXPECT_EQ(resultOf(oxa::JsonZUVALastTransactionResponse(), "Re", elements), saleResult(elements));
}

// A backup-mode sale is recorded and still returned, at the local time the
// terminal gives, in summer too; one with an unreadable date is recorded at
// the current time, one that cannot be recorded is logged, its terminal quoted.
TEST(SaleResponse, BackupModeSalesAreRecorded)
{
    QTemporaryDir recoveryFolder;
    const testsupport::CertificationLog log;
    ASSERT_TRUE(recoveryFolder.isValid());
    auto& recovery = ect::ZUVARecoveryFileManager::instance();
    const QString previousFolder = recovery.recoveryFileFolder();
    recovery.recoveryFileFolder(recoveryFolder.path());

    const QJsonObject result = saleResult(backupModeSale("TERMBM01", "20240309090507"));
    EXPECT_TRUE(result.value("cardHolderVerificationMethod").toObject().value("processedInBackupMode").toBool());
    EXPECT_EQ(result.value("date"), "2024-03-09-09-05-07");
    saleResult({element("BF8116", {SimTlv::text("9F1C", "TERMOK"), SimTlv::hex("9F34", "0000")})});
    saleResult(backupModeSale("TERMBM02", "2024"));
    std::vector<SimTlv> incomplete = backupModeSale("TERMBM03", "20240309090507");
    incomplete.pop_back(); // no card data: no acquirer, scheme or log record
    saleResult(incomplete);
    std::vector<SimTlv> hostile = backupModeSale("TERM\r\n\x1B[2J", "20240309090507");
    hostile.pop_back();
    saleResult(hostile);
    // Identifiers in ISO 8859-1 that differ in one letter: two terminals, two files.
    saleResult(backupModeSale("T\xE9" "1", "20240309090507"));
    saleResult(backupModeSale("T\xE8" "1", "20240309090507"));

    {
        const testsupport::LocalZone summerTime("Europe/Berlin");
        saleResult(backupModeSale("TERMBM04", "20260715233000"));
    }

    const QString files = filesBelow(recoveryFolder.path());
    EXPECT_TRUE(files.contains("TERMBM01") && files.contains("CAFE") && files.contains("TERMBM02"));
    EXPECT_TRUE(files.contains("<date>2026-07-15T23:30:00<")) << files.toStdString();
    EXPECT_FALSE(files.contains("TERMOK") || files.contains("TERMBM03"));
    EXPECT_TRUE(files.contains(QString::fromUtf8("T\xC3\xA9" "1<")) && files.contains(QString::fromUtf8("T\xC3\xA8" "1<")));
    EXPECT_FALSE(files.contains(QChar(0xFFFD)));
    QStringList names;
    for (QDirIterator it(recoveryFolder.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        names << QFileInfo(it.next()).fileName();
    EXPECT_EQ(names.filter("T%C3%A91").size(), 1) << names.join(' ').toStdString();
    EXPECT_EQ(names.filter("T%C3%A81").size(), 1) << names.join(' ').toStdString();
    const QString logged = log.text();
    EXPECT_TRUE(logged.contains("unreadable date") && logged.contains("not recorded")) << logged.toStdString();
    // A terminal's text quoted in a warning breaks no line and sends no control sequence.
    EXPECT_TRUE(logged.contains("terminal TERM\\x0D\\x0A\\x1B[2J, acquirer")) << logged.toStdString();
    recovery.recoveryFileFolder(previousFolder);
}
