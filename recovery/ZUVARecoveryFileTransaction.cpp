#include "recovery/ZUVARecoveryFileTransaction.h"

namespace ect {

ZUVARecoveryFileTransaction::ZUVARecoveryFileTransaction() : date_() {}

std::tm ZUVARecoveryFileTransaction::date() const { return date_; }
void ZUVARecoveryFileTransaction::setDate(const std::tm& date) { date_ = date; }
std::string ZUVARecoveryFileTransaction::merchantUserId() const { return merchantUserId_; }
void ZUVARecoveryFileTransaction::setMerchantUserId(const std::string& merchantUserId) { merchantUserId_ = merchantUserId; }
std::string ZUVARecoveryFileTransaction::logRecord() const { return logRecord_; }
void ZUVARecoveryFileTransaction::setLogRecord(const std::string& logRecord) { logRecord_ = logRecord; }

std::string ZUVARecoveryFileTransaction::recoveryFileRecord() { return logRecord_; }

} // namespace ect
