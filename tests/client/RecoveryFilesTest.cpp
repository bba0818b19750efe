#include "client/RecoveryFiles.h"

#include "engine/service/oxazuva.h"
#include "recovery/ZUVARecoveryFileManager.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

TEST(ClientRecoveryFiles, ElementsBecomeFilesUpToTheFirstNonObject)
{
    const auto files = ect::toRecoveryFiles(::strdup(R"([{"acquirerId":"0000000A","terminalId":"12345678",
        "schemeId":"A00000000401","batchId":"0012","closingDate":"12abc","content":"DF6804","fileName":"x.hex"},
        5, {"closingDate":"1"}])"));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->acquirerId() + " " + files[0]->terminalId() + " " + files[0]->schemeId() + " " +
                  files[0]->batchId() + " " + files[0]->content() + " " + files[0]->fileName(),
              "0000000A 12345678 A00000000401 0012 DF6804 x.hex");
    EXPECT_EQ(files[0]->closingDate().tm_sec, 12);
    EXPECT_TRUE(ect::toRecoveryFiles(::strdup("no json")).empty());
    EXPECT_THROW(ect::toRecoveryFiles(::strdup(R"([{"closingDate":"x1"}])")), std::invalid_argument);
}

// Through the library's own C functions, on the process's manager.
TEST(ClientRecoveryFiles, ListsAndExportsThroughTheCInterface)
{
    QTemporaryDir base;
    auto& manager = ect::ZUVARecoveryFileManager::instance();
    manager.recoveryFileFolder(base.path());
    for (const char* batch : {"0012", "0013"}) {
        auto item = std::make_shared<ect::ZUVARecoveryItem>();
        item->terminalId("12345678");
        item->acquirerId("0000000A");
        item->schemeId("A00000000401");
        item->batchId(batch);
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        item->creationDate(*localtime_r(&now, &local));
        item->merchantUserId("CASHIER1");
        item->transactionLogRecord("0102");
        ASSERT_TRUE(manager.saveRecoveryItem(item));
    }
    const auto files = ect::getRecoveryFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->batchId(), "0012");
    EXPECT_TRUE(ect::getRecoveryFiles("other").empty());

    const std::string target = base.filePath("export").toStdString();
    EXPECT_FALSE(ect::extractRecoveryFiles(std::string(), ect::EraseAfterExtraction));
    EXPECT_TRUE(ect::extractRecoveryFiles("12345678", target, ect::KeepAfterExtraction));
    EXPECT_EQ(ect::getRecoveryFiles().size(), 1u);
    EXPECT_TRUE(ect::extractRecoveryFiles(target, ect::EraseAfterExtraction));
    EXPECT_TRUE(ect::getRecoveryFiles().empty());
    EXPECT_EQ(QDir(base.filePath("export")).entryList(QDir::Files),
              QStringList{QString::fromStdString(files[0]->fileName())});
}
