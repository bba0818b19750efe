#pragma once

#include "recovery/ZUVARecoveryFile.h"
#include "recovery/ZUVARecoveryFileTransaction.h"

#include <QString>

#include <memory>
#include <vector>

namespace ect {

// The recovery file the manager keeps on disk. Its export text and export file
// name are computed from the current fields on every call; create instances
// with std::make_shared, since that computation needs shared_from_this.
class ZUVARecoveryFileImpl : public ZUVARecoveryFile,
                             public std::enable_shared_from_this<ZUVARecoveryFileImpl> {
public:
    using Transactions = std::vector<std::shared_ptr<ZUVARecoveryFileTransaction>>;

    ZUVARecoveryFileImpl();

    void setAcquirerId(const std::string& acquirerId);
    void setTerminalId(const std::string& terminalId);
    void setSchemeId(const std::string& schemeId);
    void setBatchId(const std::string& batchId);
    void setClosingDate(const std::tm& closingDate);
    void setCreationDate(const std::tm& creationDate);
    std::tm creationDate() const;

    // A copy: the transactions are shared, the list is not.
    Transactions transactions() const;
    void setTransactions(const Transactions& transactions);
    // Date of the transaction added last; all fields 0 without transactions.
    std::tm lastTransactionDate() const;

    // Where this record lies on disk (read from or last written to); empty
    // while it was never stored. A stored file is always found again by this
    // path, never by a name rebuilt from its fields.
    QString storedPath() const;
    void setStoredPath(const QString& path);

    std::string content() const override;
    std::string fileName() const override;

private:
    std::tm creationDate_;
    Transactions transactions_;
    QString storedPath_;
};

} // namespace ect
