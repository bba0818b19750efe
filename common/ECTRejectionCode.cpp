#include "common/ECTRejectionCode.h"

#include <utility>

namespace ect {

ECTRejectionCode::ECTRejectionCode(std::string code)
    : code_(std::move(code))
{
}

std::string ECTRejectionCode::code() const
{
    return code_;
}

} // namespace ect
