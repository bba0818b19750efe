#include "ErrorText.h"
#include "FakeSend.h"
#include "client/PreprocessJsonResult.h"
#include "client/RecoveryFiles.h"
#include "client/ServiceInformationResult.h"
#include "client/TransactionHelpers.h"
#include "client/transactions/GetTicketTransaction.h"
#include "engine/service/oxazuva.h"
#include "recovery/ZUVARecoveryFileManager.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace {

using clienttest::errorText;
using clienttest::FakeSend;

// A transaction that answers "question" through respond, throws at "throw"
// and finishes at anything else; it counts its calls in a record that
// survives the transaction object.
struct Record {
    std::vector<std::string> results;
    int begun = 0;
    std::atomic<int> destroyed{0};
};

class ScriptedTransaction : public ect::Transaction {
public:
    ScriptedTransaction(std::shared_ptr<Record> record, std::string request = "{\"transaction\":{}}")
        : record_(std::move(record)), request_(std::move(request))
    {
    }
    ~ScriptedTransaction() override
    {
        if (record_)
            ++record_->destroyed;
    }

    std::unique_ptr<ect::Transaction> move() override
    {
        return std::make_unique<ScriptedTransaction>(std::move(record_), std::move(request_));
    }
    std::string beginTransaction(ect::TransactionContext&) override
    {
        ++record_->begun;
        return request_;
    }
    bool endTransaction(const std::string& reply, std::function<void(const std::string&)> respond) override
    {
        record_->results.push_back(reply);
        if (reply == "throw")
            throw std::runtime_error("result class failed");
        if (reply == "question")
            respond("answer");
        return reply != "question";
    }

private:
    std::shared_ptr<Record> record_;
    std::string request_;
};

TEST(TransactionContext, EndsOnceFinishedAndLetsGoOfTheTransaction)
{
    struct Case {
        const char* name;
        std::vector<std::string> delivered;
        std::size_t seen;      // results that reach endTransaction
        bool heldAfterResults; // before the release
    };
    const Case cases[] = {
        {"question then result", {"question", "final", "late"}, 2, false},
        {"one result", {"final", "late"}, 1, false},
        {"still expecting", {"question"}, 1, true},
        {"end throws: finished", {"throw", "late"}, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSend fake;
        auto record = std::make_shared<Record>();
        fake.terminal->makeTransaction(ScriptedTransaction(record));
        ASSERT_EQ(fake.count(), 1u);
        for (const std::string& result : c.delivered)
            fake.deliver(0, result);
        EXPECT_EQ(record->results, std::vector<std::string>(c.delivered.begin(), c.delivered.begin() + c.seen));
        // The host's object and the running copy: only the latter counts.
        EXPECT_EQ(record->destroyed, c.heldAfterResults ? 0 : 1);
        fake.release(0);
        EXPECT_EQ(record->destroyed, 1);
    }
}

TEST(TransactionContext, NothingIsSentForAnEmptyRequestOrAnEmptiedTransaction)
{
    FakeSend fake;
    auto record = std::make_shared<Record>();
    fake.terminal->makeTransaction(ScriptedTransaction(record, ""));
    EXPECT_EQ(record->begun, 1);
    EXPECT_EQ(fake.count(), 0u);
    EXPECT_EQ(record->destroyed, 1); // can never end: not kept

    ect::GetTicketTransaction twice([](const ect::GetTicketResult&) {});
    fake.terminal->makeTransaction(std::move(twice));
    twice.addLanguage("fr"); // a setter on the object the send emptied
    fake.terminal->makeTransaction(std::move(twice));
    EXPECT_EQ(fake.count(), 1u);
    EXPECT_FALSE(fake.request(0).isMember("language"));
}

TEST(PreprocessJsonResult, DecidesBetweenResultAndError)
{
    const std::string reason = R"("extraInformation":[{"key":"reason","val":"gone"}])";
    const std::vector<std::pair<std::string, std::string>> cases{
        {R"({"result":{}})", "ok"},
        {R"({"result":"ok"})", "2/16"},
        {"not json", "2/16"},
        {R"({"error":"text","result":{}})", "ok"},
        {R"({"error":{"code":5}})", "5/0"},
        {R"({"error":{"code":2,"causeCode":15,)" + reason + "}}", "2/15 reason=gone"},
        {R"({"error":{"code":2,"causeCode":18,"incidentCode":{"code":"1803"}}})", "1/19 1803"},
        {R"({"error":{"incidentCode":{"code":"2630"},"rejectionCode":{"code":"01"}}})", "1/19 2630"},
        {R"({"error":{"rejectionCode":{"code":"01"},)" + reason + "}}", "1/20 rej=01 reason=gone"},
        {R"({"error":{"code":1,"extraInformation":[{"key":"reason","val":"1"},{"key":"reason","val":"2"}]}})",
         "1/0 reason=1"},
        {R"({"error":{"code":2,"extraInformation":[{"key":[],"val":"x"}]}})", "2/16"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        Json::Value document;
        boost::optional<ect::ECTError> error;
        const bool succeeded = ect::PreprocessJsonResult("Any", c.first, document, error);
        EXPECT_EQ(succeeded, c.second == "ok");
        EXPECT_EQ(errorText(error), c.second);
    }
}

TEST(TransactionHelpers, ReadersGiveTheDefaultForMissingNullOrMistypedMembers)
{
    Json::Value object;
    ASSERT_TRUE(ect::parseJson(R"({"text":"abc","number":7,"big":5000000000,"flag":true,"null":null,
                                  "id":"0000002A","shortId":"002A"})",
                               object));
    EXPECT_EQ(ect::readText(object, "text") + ect::readText(object, "number") + ect::readText(Json::Value(3), "text"),
              "abc");
    EXPECT_FALSE(ect::readOptionalText(object, "null") || ect::readOptionalText(object, "missing"));
    EXPECT_TRUE(ect::readBool(object, "flag"));
    EXPECT_FALSE(ect::readBool(object, "text") || ect::readBool(object, "missing"));
    EXPECT_EQ(ect::readInteger(object, "big") + ect::readInteger(object, "flag"), 5000000000LL);
    EXPECT_EQ(ect::readActionIdentifier(object, "id").value_or(ect::ECTSaleSystemActionIdentifier()).value(), 42u);
    EXPECT_FALSE(ect::readActionIdentifier(object, "shortId") || ect::readActionIdentifier(object, "null"));
    EXPECT_FALSE(ect::ServiceInformationResult(R"({"result":{"cashbackEnabled":"yes"}})", "T1").cashbackEnabled());
}

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

} // namespace
