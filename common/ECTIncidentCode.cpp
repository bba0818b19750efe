#include "common/ECTIncidentCode.h"

#include <utility>

namespace ect {

ECTIncidentCode::ECTIncidentCode(std::string code)
    : code_(std::move(code))
{
}

std::string ECTIncidentCode::code() const
{
    return code_;
}

bool ECTIncidentCode::isErrorCode() const
{
    return code_ != "0000" && code_ != "0001";
}

bool ECTIncidentCode::isSuccess() const
{
    return !isErrorCode();
}

} // namespace ect
