#pragma once

#include "common/CardBrandIdentifier.h"

#include <cstdint>
#include <string>
#include <vector>

namespace oxa {

// Card-brand flags of a sale filter and the 4-digit brand codes the
// terminal protocol names them by.
class CardBrandIdentifierUtility {
public:
    // The code of exactly one flag; empty for 0 or a combination of flags.
    std::string identifierFor(ect::CardBrandIdentifier flag) const;
    // Every flag set in the mask, lowest bit first (bit 31 last).
    std::vector<ect::CardBrandIdentifier> brands(std::int32_t mask) const;
};

} // namespace oxa
