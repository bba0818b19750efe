#include "FakeSend.h"

#include "client/transactions/GetTicketTransaction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

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
        fake.terminal("T1")->makeTransaction(ScriptedTransaction(record));
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
    fake.terminal("T1")->makeTransaction(ScriptedTransaction(record, ""));
    EXPECT_EQ(record->begun, 1);
    EXPECT_EQ(fake.count(), 0u);
    EXPECT_EQ(record->destroyed, 1); // can never end: not kept

    ect::GetTicketTransaction twice([](const ect::GetTicketResult&) {});
    fake.terminal("T1")->makeTransaction(std::move(twice));
    twice.addLanguage("fr"); // a setter on the object the send emptied
    fake.terminal("T1")->makeTransaction(std::move(twice));
    EXPECT_EQ(fake.count(), 1u);
    EXPECT_FALSE(fake.request(0).isMember("language"));
}

} // namespace
