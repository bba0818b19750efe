#include "recovery/ZUVARecoveryItem.h"

namespace ect {

// A zeroed date counts as missing when the item is saved.
ZUVARecoveryItem::ZUVARecoveryItem() : creationDate_() {}

std::string ZUVARecoveryItem::acquirerId() const { return acquirerId_; }
void ZUVARecoveryItem::acquirerId(const std::string& value) { acquirerId_ = value; }
std::string ZUVARecoveryItem::terminalId() const { return terminalId_; }
void ZUVARecoveryItem::terminalId(const std::string& value) { terminalId_ = value; }
std::string ZUVARecoveryItem::schemeId() const { return schemeId_; }
void ZUVARecoveryItem::schemeId(const std::string& value) { schemeId_ = value; }
std::string ZUVARecoveryItem::batchId() const { return batchId_; }
void ZUVARecoveryItem::batchId(const std::string& value) { batchId_ = value; }
std::tm ZUVARecoveryItem::creationDate() const { return creationDate_; }
void ZUVARecoveryItem::creationDate(const std::tm& value) { creationDate_ = value; }
std::string ZUVARecoveryItem::merchantUserId() const { return merchantUserId_; }
void ZUVARecoveryItem::merchantUserId(const std::string& value) { merchantUserId_ = value; }
std::string ZUVARecoveryItem::transactionLogRecord() const { return transactionLogRecord_; }
void ZUVARecoveryItem::transactionLogRecord(const std::string& value) { transactionLogRecord_ = value; }

} // namespace ect
