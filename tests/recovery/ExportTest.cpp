#include "RecoveryTestSupport.h"

#include "recovery/CRCGenerator.h"
#include "recovery/RecoveryFileUtil.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace recoverytest;
using ect::RecoveryFileUtil;

namespace {

std::string crcText(const std::string& hex)
{
    char text[5];
    std::snprintf(text, sizeof text, "%04X", referenceCrc(bytesOfHex(hex)));
    return text;
}

} // namespace

TEST(RecoveryCrc, MatchesTheReferenceComputation)
{
    const oxa::CRCGenerator crc;
    EXPECT_EQ(crc.crc16ForRecoveryFile(std::vector<uint8_t>{'1', '2', '3', '4', '5', '6', '7', '8', '9'}), "BB3D");
    // The CRC of 03 is 0140: leading zero digits are kept.
    for (const char* hex : {"", "03", "DEADBEEF00FF"}) {
        EXPECT_EQ(crc.crc16ForRecoveryFile(bytesOfHex(hex)), crcText(hex)) << hex;
        EXPECT_EQ(crc.crc16ForRecoveryFile(std::string(hex)), crcText(hex)) << hex;
    }
    // Odd length: the last group is one digit; groups without a digit count as 0.
    EXPECT_EQ(crc.crc16ForRecoveryFile(std::string("ABC")), crc.crc16ForRecoveryFile(std::vector<uint8_t>{0xAB, 0x0C}));
    EXPECT_EQ(crc.crc16ForRecoveryFile(std::string("ZZ01")), crc.crc16ForRecoveryFile(std::vector<uint8_t>{0, 1}));
}

TEST(RecoveryExport, TransactionsFollowInOrderAndTheCrcCoversThem)
{
    const std::string head = "DF68040000000A" "9F1C083132333435363738" "DF820506A00000000401" "C5020012"
                             "C90720160305140709" "C3020000";
    EXPECT_EQ(closedFile()->content(), head + "CA02" + crcText(head));

    auto file = closedFile();
    addTransaction(*file, "ABCDE", "0102A0");
    addTransaction(*file, "0123456789ABCDEF", "FFEE");
    const std::string covered = "DF68040000000A" "9F1C083132333435363738" "DF820506A00000000401" "C5020012"
                                "C90720160305140709" "C3020002"
                                "9F160F" "4142434445" "00000000000000000000" "0102A0"
                                "9F160F" "30313233343536373839414243444546" "FFEE";
    const std::string content = file->content();
    EXPECT_EQ(content, covered + "CA02" + crcText(covered));

}

TEST(RecoveryExport, FileName)
{
    auto file = closedFile();
    EXPECT_EQ(file->fileName(), "Recovery_A0000000A_T12345678_D20160305_B0012.hex");
    file->setBatchId("0013");
    EXPECT_EQ(file->fileName(), "Recovery_A0000000A_T12345678_D20160305_B0013.hex");
    EXPECT_NE(file->content().find("C5020013"), std::string::npos);
    file->setTerminalId("../../etc");
    EXPECT_EQ(QFileInfo(QString::fromStdString(file->fileName())).fileName().toStdString(), file->fileName());
}

class RecoveryExtraction : public ::testing::Test {
protected:
    QString target() const { return folder.filePath("out/sub"); }
    QTemporaryDir folder;
};

TEST_F(RecoveryExtraction, WritesEachExportReplacesItsOwnEarlierExportAndFailsWithoutAFolder)
{
    const RecoveryFileUtil::Files files{closedFile("0001"), closedFile("0002"), closedFile("0003")};
    ASSERT_TRUE(RecoveryFileUtil::extractRecoveryFiles(files, target()));
    ASSERT_TRUE(RecoveryFileUtil::extractRecoveryFiles(files, target()));
    const QStringList names = fileNamesIn(target());
    ASSERT_EQ(names.size(), 3);
    for (const auto& file : files) {
        const QString path = QDir(target()).filePath(QString::fromStdString(file->fileName()));
        EXPECT_EQ(contentOf(path).toStdString(), file->content());
    }
    EXPECT_TRUE(RecoveryFileUtil::extractRecoveryFiles({}, folder.filePath("empty")));
    EXPECT_TRUE(QFileInfo(folder.filePath("empty")).isDir());

    writeBytes(folder.filePath("plain"), "x");
    EXPECT_FALSE(RecoveryFileUtil::extractRecoveryFiles({closedFile()}, folder.filePath("plain/out")));
    EXPECT_FALSE(RecoveryFileUtil::extractRecoveryFiles({closedFile()}, ""));
    EXPECT_EQ(allFilesBelow(folder.path()).filter("plain"), QStringList{"plain"});
}

// Two recovery files of one acquirer, terminal, batch and day share an export
// name: each export lies under the name its listing gives, and none
// overwrites another, in one run or across runs.
TEST_F(RecoveryExtraction, SameNameExportsLieUnderTheirListedNamesAndOverwriteNothing)
{
    auto first = closedFile();
    addTransaction(*first, "A", "01");
    auto second = closedFile();
    second->setClosingDate(localTime(2016, 3, 5, 18, 0, 0));
    addTransaction(*second, "B", "02");
    ASSERT_EQ(first->fileName(), second->fileName());
    auto third = closedFile();
    addTransaction(*third, "C", "03");

    EXPECT_EQ(RecoveryFileUtil::exportFileNames({first, second}),
              QStringList({"Recovery_A0000000A_T12345678_D20160305_B0012.hex",
                           "Recovery_A0000000A_T12345678_D20160305_B0012_2.hex"}));
    for (const RecoveryFileUtil::Files& run : {RecoveryFileUtil::Files{first, second}, RecoveryFileUtil::Files{second},
                                               RecoveryFileUtil::Files{third}}) {
        ASSERT_TRUE(RecoveryFileUtil::extractRecoveryFiles(run, target()));
        const QStringList listed = RecoveryFileUtil::exportFileNames(run);
        for (int i = 0; i < listed.size(); ++i)
            EXPECT_EQ(contentOf(QDir(target()).filePath(listed[i])).toStdString(), run[size_t(i)]->content());
    }

    QStringList contents;
    for (const QString& name : fileNamesIn(target()))
        contents << QString::fromUtf8(contentOf(QDir(target()).filePath(name)));
    contents.removeDuplicates();
    contents.sort();
    QStringList expected{QString::fromStdString(first->content()), QString::fromStdString(second->content()),
                         QString::fromStdString(third->content())};
    expected.sort();
    EXPECT_EQ(contents, expected);
}
