#pragma once

#include "common/ECTErrorCauseCode.h"
#include "common/ECTErrorCode.h"
#include "common/ECTIncidentCode.h"
#include "common/ECTRejectionCode.h"
#include "common/ECTSaleSystemActionIdentifier.h"

#include <boost/optional.hpp>

#include <map>
#include <string>

namespace ect {

// The one error value of the library. Thrown by value (it derives from no
// exception class) and caught as ECTError const&; carried as an optional in results.
class ECTError {
public:
    using ExtraInformation = std::map<std::string, std::string>;

    explicit ECTError(ECTErrorCode code);
    ECTError(ECTErrorCode code, ECTErrorCauseCode cause);
    ECTError(ECTErrorCode code, ExtraInformation extraInformation);
    ECTError(ECTErrorCode code, ECTErrorCauseCode cause, ExtraInformation extraInformation);
    ECTError(ECTErrorCode code, ECTErrorCauseCode cause, ECTIncidentCode const& incident,
             ExtraInformation extraInformation);
    ECTError(ECTErrorCode code, ECTIncidentCode const& incident, ExtraInformation extraInformation);
    explicit ECTError(ECTIncidentCode const& incident);
    ECTError(ECTIncidentCode const& incident, ExtraInformation extraInformation);
    explicit ECTError(ECTRejectionCode const& rejection);
    ECTError(ECTRejectionCode const& rejection, ExtraInformation extraInformation);

    ECTErrorCode code() const;
    boost::optional<ECTErrorCauseCode> causeCode() const;
    boost::optional<ECTIncidentCode> incidentCode() const;
    boost::optional<ECTRejectionCode> rejectionCode() const;
    ExtraInformation extraInformationData() const;

    // Inserts the pair or replaces the value of an existing key.
    void addExtraInfo(std::string key, std::string value);

    // Decoded from the extra information "saleSystemActionIdentifier";
    // throws the identifier's ECTError when it does not hold 4 bytes.
    boost::optional<ECTSaleSystemActionIdentifier> originalSaleSystemActionIdentifier() const;

    // One-line diagnostic text for the host.
    std::string description() const;

private:
    ECTErrorCode code_;
    boost::optional<ECTErrorCauseCode> causeCode_;
    ExtraInformation extraInformation_;
    boost::optional<ECTIncidentCode> incidentCode_;
    boost::optional<ECTRejectionCode> rejectionCode_;
};

// The map as bracketed text, one "    key: value" line per entry.
std::string dump(std::map<std::string, std::string> const& map);

} // namespace ect
