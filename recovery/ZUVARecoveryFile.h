#pragma once

#include <ctime>
#include <string>

namespace ect {

// Read-only view of one recovery file, as listed to the sale system.
class ZUVARecoveryFile {
public:
    ZUVARecoveryFile();
    ZUVARecoveryFile(std::string acquirerId, std::string terminalId, std::string schemeId,
                     std::string batchId, std::tm closingDate, std::string content,
                     std::string fileName);
    virtual ~ZUVARecoveryFile();

    virtual std::string acquirerId() const;
    virtual std::string terminalId() const;
    virtual std::string schemeId() const;
    virtual std::string batchId() const;
    virtual std::tm closingDate() const;
    // The export text and the name of its file.
    virtual std::string content() const;
    virtual std::string fileName() const;

protected:
    std::string acquirerId_;
    std::string terminalId_;
    std::string schemeId_;
    std::string batchId_;
    std::tm closingDate_;
    std::string content_;
    std::string fileName_;
};

} // namespace ect
