#include "RecoveryTestSupport.h"

#include "recovery/ZUVARecoveryFileImpl.h"

using namespace recoverytest;

namespace {

std::shared_ptr<ect::ZUVARecoveryFileTransaction> transactionAt(const std::tm& date)
{
    auto transaction = std::make_shared<ect::ZUVARecoveryFileTransaction>();
    transaction->setDate(date);
    return transaction;
}

} // namespace

TEST(RecoveryRecords, LastTransactionDateIsThatOfTheTransactionAddedLast)
{
    auto file = std::make_shared<ect::ZUVARecoveryFileImpl>();
    const std::tm none = file->lastTransactionDate();
    EXPECT_EQ(none.tm_year, 0);
    EXPECT_EQ(none.tm_mday, 0);
    EXPECT_EQ(none.tm_hour, 0);

    file->setTransactions({transactionAt(localTime(2016, 3, 5, 10, 0, 0)),
                           transactionAt(localTime(2016, 3, 5, 9, 0, 0))});
    EXPECT_EQ(file->lastTransactionDate().tm_hour, 9);
}

TEST(RecoveryRecords, TransactionListIsHandedOutAsACopy)
{
    auto file = std::make_shared<ect::ZUVARecoveryFileImpl>();
    auto transactions = file->transactions();
    transactions.push_back(transactionAt(localTime(2016, 3, 5, 10, 0, 0)));
    EXPECT_TRUE(file->transactions().empty());
    file->setTransactions(transactions);
    EXPECT_EQ(file->transactions().size(), 1u);
}

TEST(RecoveryRecords, ComputedExportNeedsASharedOwner)
{
    ect::ZUVARecoveryFileImpl onStack;
    EXPECT_THROW(onStack.content(), std::bad_weak_ptr);
    EXPECT_THROW(onStack.fileName(), std::bad_weak_ptr);
}
