#include "RecoveryTestSupport.h"

#include "recovery/ZUVARecoveryFileImpl.h"

using namespace recoverytest;

TEST(RecoveryRecords, LastTransactionDateIsThatOfTheTransactionAddedLast)
{
    auto file = std::make_shared<ect::ZUVARecoveryFileImpl>();
    EXPECT_EQ(file->lastTransactionDate().tm_mday, 0);
    ect::ZUVARecoveryFileImpl::Transactions transactions;
    for (int hour : {10, 9}) {
        transactions.push_back(std::make_shared<ect::ZUVARecoveryFileTransaction>());
        transactions.back()->setDate(localTime(2016, 3, 5, hour, 0, 0));
    }
    file->setTransactions(transactions);
    EXPECT_EQ(file->lastTransactionDate().tm_hour, 9);
}

