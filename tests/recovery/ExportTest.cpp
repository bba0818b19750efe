#include "RecoveryTestSupport.h"

#include "recovery/CRCGenerator.h"
#include "recovery/RecoveryFileUtil.h"

#include <QDir>
#include <QFile>

#include <map>

#include <sys/stat.h>

using namespace recoverytest;
using ect::RecoveryFileUtil;

// CRC-16/ARC as four hex digits, over bytes or over hex text.
TEST(RecoveryCrc, FourHexDigitsOfCrc16Arc)
{
    const oxa::CRCGenerator crc;
    EXPECT_EQ(crc.crc16ForRecoveryFile(std::vector<uint8_t>{'1', '2', '3', '4', '5', '6', '7', '8', '9'}), "BB3D");
    EXPECT_EQ(crc.crc16ForRecoveryFile(std::string("03")), "0140"); // leading zero digits kept
    // Odd length: the last group is one digit; groups without a digit count as 0.
    EXPECT_EQ(crc.crc16ForRecoveryFile(std::string("ABC")), "357F");
    EXPECT_EQ(crc.crc16ForRecoveryFile(std::string("ZZ01")), crc.crc16ForRecoveryFile(std::vector<uint8_t>{0, 1}));
}

TEST(RecoveryExport, TransactionsFollowInOrderAndTheCrcCoversThem)
{
    const std::string head = "DF68040000000A" "9F1C083132333435363738" "DF820506A00000000401" "C5020012"
                             "C90720160305140709" "C3020000";
    EXPECT_EQ(closedFile()->content(), head + "CA02" + "673C");

    auto file = closedFile();
    addTransaction(*file, "ABCDE", "0102A0");
    addTransaction(*file, "0123456789ABCDEF", "FFEE");
    const std::string covered = "DF68040000000A" "9F1C083132333435363738" "DF820506A00000000401" "C5020012"
                                "C90720160305140709" "C3020002"
                                "9F160F" "4142434445" "00000000000000000000" "0102A0"
                                "9F160F" "30313233343536373839414243444546" "FFEE";
    EXPECT_EQ(file->content(), covered + "CA02" + "9FF3");
}

// Two recovery files of one acquirer, terminal, batch and day share an export
// name: each export lies under the name its listing gives, and none
// overwrites another, in one run or across runs; the same export again
// replaces itself.
TEST(RecoveryExtraction, SameNameExportsLieUnderTheirListedNamesAndOverwriteNothing)
{
    const QTemporaryDir folder;
    const QString target = folder.filePath("out/sub");
    auto first = closedFile();
    addTransaction(*first, "A", "01");
    auto second = closedFile();
    second->setClosingDate(localTime(2016, 3, 5, 18, 0, 0));
    addTransaction(*second, "B", "02");
    auto third = closedFile();
    addTransaction(*third, "C", "03");

    const QString name = "Recovery_A0000000A_T12345678_D20160305_B0012";
    EXPECT_EQ(RecoveryFileUtil::exportFileNames({first, second}), QStringList({name + ".hex", name + "_2.hex"}));
    using Files = RecoveryFileUtil::Files;
    for (const Files& run : {Files{first, second}, Files{first, second}, Files{second}, Files{third}}) {
        ASSERT_TRUE(RecoveryFileUtil::extractRecoveryFiles(run, target));
        const QStringList listed = RecoveryFileUtil::exportFileNames(run);
        for (int i = 0; i < listed.size(); ++i)
            EXPECT_EQ(contentOf(QDir(target).filePath(listed[i])).toStdString(), run[size_t(i)]->content());
    }
    // Earlier exports moved aside under the first free numbers.
    std::map<QString, std::string> found;
    for (const QString& file : fileNamesIn(target))
        found[file] = contentOf(QDir(target).filePath(file)).toStdString();
    EXPECT_EQ(found, (std::map<QString, std::string>{{name + "-2.hex", first->content()},
                                                     {name + "-3.hex", second->content()},
                                                     {name + ".hex", third->content()},
                                                     {name + "_2.hex", second->content()}}));

    // A FIFO under an export's name is moved aside as well, never waited on.
    const QString fifo = QDir(target).filePath(name + ".hex");
    ASSERT_TRUE(QFile::remove(fifo));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    bool extracted = false;
    EXPECT_TRUE(endsInTime([&] { return RecoveryFileUtil::extractRecoveryFiles({first}, target); }, fifo, extracted));
    EXPECT_TRUE(extracted);
    EXPECT_EQ(contentOf(fifo).toStdString(), first->content());
}
