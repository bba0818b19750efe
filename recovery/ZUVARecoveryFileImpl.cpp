#include "recovery/ZUVARecoveryFileImpl.h"

#include "recovery/RecoveryFileUtil.h"

namespace ect {

ZUVARecoveryFileImpl::ZUVARecoveryFileImpl() : creationDate_() {}

void ZUVARecoveryFileImpl::setAcquirerId(const std::string& acquirerId) { acquirerId_ = acquirerId; }
void ZUVARecoveryFileImpl::setTerminalId(const std::string& terminalId) { terminalId_ = terminalId; }
void ZUVARecoveryFileImpl::setSchemeId(const std::string& schemeId) { schemeId_ = schemeId; }
void ZUVARecoveryFileImpl::setBatchId(const std::string& batchId) { batchId_ = batchId; }
void ZUVARecoveryFileImpl::setClosingDate(const std::tm& closingDate) { closingDate_ = closingDate; }
void ZUVARecoveryFileImpl::setCreationDate(const std::tm& creationDate) { creationDate_ = creationDate; }
std::tm ZUVARecoveryFileImpl::creationDate() const { return creationDate_; }

ZUVARecoveryFileImpl::Transactions ZUVARecoveryFileImpl::transactions() const { return transactions_; }
void ZUVARecoveryFileImpl::setTransactions(const Transactions& transactions) { transactions_ = transactions; }

std::tm ZUVARecoveryFileImpl::lastTransactionDate() const
{
    return transactions_.empty() ? std::tm() : transactions_.back()->date();
}

QString ZUVARecoveryFileImpl::storedPath() const { return storedPath_; }
void ZUVARecoveryFileImpl::setStoredPath(const QString& path) { storedPath_ = path; }

std::string ZUVARecoveryFileImpl::content() const
{
    return RecoveryFileUtil::createRecoveryFileContent(shared_from_this()).toStdString();
}

std::string ZUVARecoveryFileImpl::fileName() const
{
    return RecoveryFileUtil::createRecoveryFileFilename(shared_from_this()).toStdString();
}

} // namespace ect
