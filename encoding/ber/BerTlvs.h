#pragma once

#include "encoding/ber/BerTlv.h"

#include <boost/optional.hpp>

#include <string>
#include <vector>

namespace Ber {

// An ordered list of top-level elements.
class BerTlvs {
public:
    std::vector<BerTlv> tlvs;

    BerTlvs() = default;
    BerTlvs(std::vector<BerTlv> const& tlvs);

    // The first hit of BerTlv::find over the elements in order.
    boost::optional<BerTlv> find(BerTag const& tag) const;
    // Each element's BerTlv::find hit, in order.
    std::vector<BerTlv> findAll(BerTag const& tag) const;
    std::string dump(std::string const& indent) const;
};

}  // namespace Ber
