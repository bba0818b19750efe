#include "recovery/ZUVARecoveryFile.h"

#include <utility>

namespace ect {

ZUVARecoveryFile::ZUVARecoveryFile() : closingDate_() {}

ZUVARecoveryFile::ZUVARecoveryFile(std::string acquirerId, std::string terminalId,
                                   std::string schemeId, std::string batchId, std::tm closingDate,
                                   std::string content, std::string fileName)
    : acquirerId_(std::move(acquirerId)),
      terminalId_(std::move(terminalId)),
      schemeId_(std::move(schemeId)),
      batchId_(std::move(batchId)),
      closingDate_(closingDate),
      content_(std::move(content)),
      fileName_(std::move(fileName))
{
}

ZUVARecoveryFile::~ZUVARecoveryFile() = default;

std::string ZUVARecoveryFile::acquirerId() const { return acquirerId_; }
std::string ZUVARecoveryFile::terminalId() const { return terminalId_; }
std::string ZUVARecoveryFile::schemeId() const { return schemeId_; }
std::string ZUVARecoveryFile::batchId() const { return batchId_; }
std::tm ZUVARecoveryFile::closingDate() const { return closingDate_; }
std::string ZUVARecoveryFile::content() const { return content_; }
std::string ZUVARecoveryFile::fileName() const { return fileName_; }

} // namespace ect
