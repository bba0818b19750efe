#include "common/ECTError.h"

#include "common/HexToBytes.h"

#include <sstream>
#include <utility>

namespace ect {

ECTError::ECTError(ECTErrorCode code)
    : code_(code)
{
}

ECTError::ECTError(ECTErrorCode code, ECTErrorCauseCode cause)
    : code_(code)
    , causeCode_(cause)
{
}

ECTError::ECTError(ECTErrorCode code, ExtraInformation extraInformation)
    : code_(code)
    , extraInformation_(std::move(extraInformation))
{
}

ECTError::ECTError(ECTErrorCode code, ECTErrorCauseCode cause, ExtraInformation extraInformation)
    : code_(code)
    , causeCode_(cause)
    , extraInformation_(std::move(extraInformation))
{
}

ECTError::ECTError(ECTErrorCode code, ECTErrorCauseCode cause, ECTIncidentCode const& incident,
                   ExtraInformation extraInformation)
    : code_(code)
    , causeCode_(cause)
    , extraInformation_(std::move(extraInformation))
    , incidentCode_(incident)
{
}

ECTError::ECTError(ECTErrorCode code, ECTIncidentCode const& incident, ExtraInformation extraInformation)
    : code_(code)
    , extraInformation_(std::move(extraInformation))
    , incidentCode_(incident)
{
}

ECTError::ECTError(ECTIncidentCode const& incident)
    : ECTError(incident, ExtraInformation())
{
}

ECTError::ECTError(ECTIncidentCode const& incident, ExtraInformation extraInformation)
    : ECTError(ECTErrorCode::Rejected, ECTErrorCauseCode::IncidentCode, incident, std::move(extraInformation))
{
}

ECTError::ECTError(ECTRejectionCode const& rejection)
    : ECTError(rejection, ExtraInformation())
{
}

ECTError::ECTError(ECTRejectionCode const& rejection, ExtraInformation extraInformation)
    : code_(ECTErrorCode::Rejected)
    , causeCode_(ECTErrorCauseCode::RejectionCode)
    , extraInformation_(std::move(extraInformation))
    , rejectionCode_(rejection)
{
}

ECTErrorCode ECTError::code() const
{
    return code_;
}

boost::optional<ECTErrorCauseCode> ECTError::causeCode() const
{
    return causeCode_;
}

boost::optional<ECTIncidentCode> ECTError::incidentCode() const
{
    return incidentCode_;
}

boost::optional<ECTRejectionCode> ECTError::rejectionCode() const
{
    return rejectionCode_;
}

ECTError::ExtraInformation ECTError::extraInformationData() const
{
    return extraInformation_;
}

void ECTError::addExtraInfo(std::string key, std::string value)
{
    extraInformation_[std::move(key)] = std::move(value);
}

boost::optional<ECTSaleSystemActionIdentifier> ECTError::originalSaleSystemActionIdentifier() const
{
    auto const found = extraInformation_.find("saleSystemActionIdentifier");
    if (found == extraInformation_.end())
        return boost::none;
    return ECTSaleSystemActionIdentifier(ECTData(HexToBytes(found->second)));
}

std::string ECTError::description() const
{
    std::ostringstream text;
    text << code_ << ", " << causeCode_;
    if (incidentCode_)
        text << " [incident: " << incidentCode_->code() << "]";
    else if (rejectionCode_)
        text << " [rejection: " << rejectionCode_->code() << "]";
    if (!extraInformation_.empty())
        text << (incidentCode_ || rejectionCode_ ? "  " : " ") << dump(extraInformation_);
    return text.str();
}

std::string dump(std::map<std::string, std::string> const& map)
{
    std::string text = "[\n";
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        text += "    " + entry->first + ": " + entry->second;
        if (std::next(entry) != map.end())
            text += ",";
        text += "\n";
    }
    return text + "]";
}

} // namespace ect
