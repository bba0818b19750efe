#pragma once

#include <ctime>
#include <string>

namespace ect {

// One transaction that a terminal processed in backup mode, as the sale reply
// hands it over for recording. The texts are kept exactly as received.
class ZUVARecoveryItem {
public:
    ZUVARecoveryItem();

    std::string acquirerId() const;
    void acquirerId(const std::string& value);
    std::string terminalId() const;
    void terminalId(const std::string& value);
    std::string schemeId() const;
    void schemeId(const std::string& value);
    std::string batchId() const;
    void batchId(const std::string& value);
    std::tm creationDate() const;
    void creationDate(const std::tm& value);
    std::string merchantUserId() const;
    void merchantUserId(const std::string& value);
    std::string transactionLogRecord() const;
    void transactionLogRecord(const std::string& value);

private:
    std::string acquirerId_;
    std::string terminalId_;
    std::string schemeId_;
    std::string batchId_;
    std::tm creationDate_;
    std::string merchantUserId_;
    std::string transactionLogRecord_;
};

} // namespace ect
