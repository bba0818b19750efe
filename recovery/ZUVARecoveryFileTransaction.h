#pragma once

#include <ctime>
#include <string>

namespace ect {

// One transaction inside a recovery file.
class ZUVARecoveryFileTransaction {
public:
    ZUVARecoveryFileTransaction();

    std::tm date() const;
    void setDate(const std::tm& date);
    std::string merchantUserId() const;
    void setMerchantUserId(const std::string& merchantUserId);
    std::string logRecord() const;
    void setLogRecord(const std::string& logRecord);

    // What the export writes for this transaction after its merchant user.
    std::string recoveryFileRecord();

private:
    std::tm date_;
    std::string merchantUserId_;
    std::string logRecord_;
};

} // namespace ect
