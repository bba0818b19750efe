#include "encoding/ber/BerTlvs.h"

namespace Ber {

BerTlvs::BerTlvs(std::vector<BerTlv> const& tlvs) : tlvs(tlvs) {}

boost::optional<BerTlv> BerTlvs::find(BerTag const& tag) const
{
    for (BerTlv const& tlv : tlvs) {
        if (BerTlv const* hit = tlv.findNode(tag))
            return *hit;
    }
    return boost::none;
}

std::vector<BerTlv> BerTlvs::findAll(BerTag const& tag) const
{
    std::vector<BerTlv> hits;
    for (BerTlv const& tlv : tlvs) {
        if (BerTlv const* hit = tlv.findNode(tag))
            hits.push_back(*hit);
    }
    return hits;
}

std::string BerTlvs::dump(std::string const& indent) const
{
    std::string out;
    for (BerTlv const& tlv : tlvs)
        tlv.appendDump(out, indent, indent);
    return out;
}

}  // namespace Ber
