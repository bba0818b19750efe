#include "common/ECTErrorCode.h"

namespace ect {

namespace {

char const* nameOf(ECTErrorCode code)
{
    switch (code) {
    case ECTErrorCode::Rejected: return "Rejected";
    case ECTErrorCode::Technical_Issue: return "Technical_Issue";
    case ECTErrorCode::No_WIFI: return "No_WIFI";
    case ECTErrorCode::Timeout: return "Timeout";
    }
    return "";
}

} // namespace

std::ostream& operator<<(std::ostream& out, ECTErrorCode code)
{
    return out << nameOf(code);
}

} // namespace ect
