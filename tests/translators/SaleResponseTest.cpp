#include "RetailTestKit.h"

#include "engine/base/ECTCertificationLogging.h"
#include "recovery/ZUVARecoveryFileManager.h"
#include "translators/JsonZUVALastTransactionRequest.h"
#include "translators/JsonZUVALastTransactionResponse.h"
#include "translators/JsonZUVASaleTransactionResponse.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <ctime>

using namespace retailtest;

namespace {

QJsonObject saleResult(const std::vector<SimTlv>& elements)
{
    oxa::JsonZUVASaleTransactionResponse response;
    return translate(response, "Rd", elements).value("result").toObject();
}

SimTlv serviceData(const std::vector<SimTlv>& children)
{
    return element("BF8116", children);
}

// Every file below the folder, with its contents.
QStringList filesBelow(const QString& folder)
{
    QStringList contents;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        contents << QString::fromUtf8(file.readAll());
    }
    return contents;
}

// A sale processed in backup mode, with everything a recovery item needs.
std::vector<SimTlv> backupModeSale(const std::string& dateHex)
{
    return {serviceData({SimTlv::text("9F1C", "TERMBM01"), SimTlv::hex("C5", "000042"), SimTlv::hex("9F34", "0080"),
                         SimTlv::hex("DF27", dateHex)}),
            element("BF8104", {SimTlv::hex("DF68", "12345678"), SimTlv::text("9F16", "MERCHANT7"),
                               holding("DF9460", {SimTlv::hex("DF8205", "0A0B"), SimTlv::hex("DF915B", "CAFE")})})};
}

// Recovery files and certification log in scratch folders for one test.
class BackupModeSale : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recoveryFolder.isValid() && logFolder.isValid());
        previousFolder = ect::ZUVARecoveryFileManager::instance().recoveryFileFolder();
        ect::ZUVARecoveryFileManager::instance().recoveryFileFolder(recoveryFolder.path());
        auto& log = oxa::ECTCertificationLogging::sharedInstance();
        log.updateEnvironment("certificationFilePath", logFolder.path().toStdString());
        log.updateEnvironment("certificationFileName", "certification.log");
        log.updateEnvironment("certificationModeEnabled", "true");
    }

    void TearDown() override
    {
        oxa::ECTCertificationLogging::sharedInstance().updateEnvironment("certificationModeEnabled", "false");
        ect::ZUVARecoveryFileManager::instance().recoveryFileFolder(previousFolder);
    }

    QString certificationLog() const
    {
        QFile file(logFolder.filePath("certification.log"));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }

    QTemporaryDir recoveryFolder;
    QTemporaryDir logFolder;
    QString previousFolder;
};

} // namespace

TEST(SaleResponse, ReadsEveryFieldOfAFullReply)
{
    const QJsonObject result = saleResult(
        {element("BF8101", {SimTlv::hex("DF940D", "0001"), SimTlv::hex("DF9413", "BEEF")}),
         serviceData({SimTlv::text("DF1A", "fr"), SimTlv::text("9F1C", "TERM0001"), SimTlv::hex("9F34", "4000"),
                      SimTlv::hex("DF1E", "000123"), SimTlv::hex("C5", "0007"), SimTlv::hex("DF26", "000000001234"),
                      SimTlv::hex("9F03", "000000000500"), SimTlv::hex("5F2A", "0978"), SimTlv::text("89", "AUTH01"),
                      SimTlv::hex("DF27", "20240309090507")}),
         SimTlv::hex("DF68", "00000042"), SimTlv::hex("DF9464", "0000ABCD"),
         element("EB", {SimTlv::hex("DF9406", "80"), SimTlv::text("DF46", "4970XXXX1234")}),
         element("BF8104", {SimTlv::hex("DF5F", "1001"), SimTlv::text("DF7E", "CB")}),
         element("BF8108", {SimTlv::hex("DF940F", "01"), SimTlv::hex("DF9411", "DF0101")}),
         holding("DF9460", {SimTlv::hex("DF13", "4F4B"), SimTlv::text("DF30", "acq")})});
    // The card type and verification flags are read by the shared helpers, tested with them.
    EXPECT_EQ(result.value("cardHolderVerificationMethod").toObject().value("value"), "4000");
    EXPECT_EQ(result.value("cardType").toObject().value("type"), "80");
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

TEST(SaleResponse, DateAndPanFallBackInOrder)
{
    // Without a date in the service data the ticket elements give it.
    EXPECT_EQ(saleResult({element("BF8108", {holding("DF9411", {SimTlv::hex("DF27", "20250131123456")})})})
                  .value("date"),
              "2025-01-31-12-34-56");
    // The clipped PAN of the card's private data wins over the card description's.
    const QJsonObject both = saleResult({element("EB", {SimTlv::text("DF46", "EB-PAN")}),
                                         element("BF8104", {holding("DF9460", {SimTlv::text("DF46", "PRIVATE")})})});
    EXPECT_EQ(both.value("clippedPAN"), "PRIVATE");
    // Incident 0000 is no partial approval; an unknown currency is left out.
    const QJsonObject plain = saleResult({element("BF8101", {SimTlv::hex("DF940D", "0000")}),
                                          serviceData({SimTlv::hex("5F2A", "0999")})});
    EXPECT_FALSE(plain.contains("partialApproval"));
    EXPECT_FALSE(plain.contains("currency"));
}

TEST(LastTransaction, BareEnvelopeWhateverTheDocumentAndASaleReply)
{
    oxa::JsonZUVALastTransactionRequest request(environmentWith());
    const QJsonObject noisy = transactionDocument({{"action", "LastTransaction"}, {"amount", "12.00"}, {"x", 1}});
    EXPECT_EQ(bodyHex(request, 7, noisy), "F009E107D0024365D10107");
    // The reply reads exactly as a sale reply.
    const std::vector<SimTlv> elements{serviceData({SimTlv::hex("DF26", "000000001234"), SimTlv::hex("5F2A", "0978"),
                                                    SimTlv::hex("DF27", "20240309090507")}),
                                       element("EB", {SimTlv::text("DF46", "1234")})};
    oxa::JsonZUVALastTransactionResponse last;
    const QJsonObject result = translate(last, "Re", elements);
    EXPECT_EQ(result, (QJsonObject{{"result", saleResult(elements)}}));
    EXPECT_EQ(result.value("result").toObject().value("authorizedAmount"), 12.34);
}

TEST_F(BackupModeSale, IsRecordedAndStillReturned)
{
    const QJsonObject result = saleResult(backupModeSale("20240309090507"));
    EXPECT_TRUE(result.value("cardHolderVerificationMethod").toObject().value("processedInBackupMode").toBool());
    EXPECT_EQ(result.value("date"), "2024-03-09-09-05-07");
    const QStringList files = filesBelow(recoveryFolder.path());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.front().contains("TERMBM01") && files.front().contains("CAFE"));

    saleResult({serviceData({SimTlv::text("9F1C", "TERMOK"), SimTlv::hex("9F34", "0000")})});
    EXPECT_EQ(filesBelow(recoveryFolder.path()).size(), 1);
}

TEST_F(BackupModeSale, WithAnUnreadableDateUsesTheCurrentTimeAndSaysSo)
{
    saleResult(backupModeSale("2024"));
    const QStringList files = filesBelow(recoveryFolder.path());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.front().contains("TERMBM01"));
    EXPECT_TRUE(certificationLog().contains("unreadable date")) << certificationLog().toStdString();
}

TEST_F(BackupModeSale, ThatCannotBeRecordedIsLogged)
{
    std::vector<SimTlv> incomplete = backupModeSale("20240309090507");
    incomplete.pop_back(); // no card data: no acquirer, scheme or log record
    saleResult(incomplete);
    EXPECT_TRUE(filesBelow(recoveryFolder.path()).isEmpty());
    EXPECT_TRUE(certificationLog().contains("not recorded")) << certificationLog().toStdString();
}
