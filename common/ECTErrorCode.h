#pragma once

#include <cstdint>
#include <ostream>

namespace ect {

// The class of a failure. Travels as a plain integer in JSON, so any
// 32-bit value read back from a document is kept as it is.
enum class ECTErrorCode : std::int32_t {
    Rejected = 1,
    Technical_Issue = 2,
    No_WIFI = 3,
    Timeout = 5,
};

// Writes the code's name; values without a name write nothing.
std::ostream& operator<<(std::ostream& out, ECTErrorCode code);

} // namespace ect
