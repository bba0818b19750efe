#include "encoding/ber/BerTlv.h"

#include "encoding/ber/HexUtil.h"

namespace Ber {

namespace {

std::size_t const maxDoubledIndent = 64;

}  // namespace

BerTlv::BerTlv(BerTag tag)
    : tag(std::move(tag)), primitive(!this->tag.isConstructed()), constructed(this->tag.isConstructed())
{
}

BerTlv::BerTlv(BerTag tag, BerData const& value) : BerTlv(std::move(tag))
{
    this->value = value;
}

BerTlv::BerTlv(BerTag tag, std::vector<BerTlv> const& children) : BerTlv(std::move(tag))
{
    this->children = children;
}

BerTlv const* BerTlv::findNode(BerTag const& searched) const
{
    if (tag == searched)
        return this;
    if (primitive)
        return nullptr;
    for (BerTlv const& child : children) {
        if (BerTlv const* hit = child.findNode(searched))
            return hit;
    }
    return nullptr;
}

boost::optional<BerTlv> BerTlv::find(BerTag const& searched) const
{
    if (BerTlv const* hit = findNode(searched))
        return *hit;
    return boost::none;
}

std::vector<BerTlv> BerTlv::findAll(BerTag const& searched) const
{
    std::vector<BerTlv> hits;
    if (tag == searched)
        hits.push_back(*this);
    if (constructed) {
        for (BerTlv const& child : children) {
            if (BerTlv const* hit = child.findNode(searched))
                hits.push_back(*hit);
        }
    }
    return hits;
}

bool BerTlv::hasTag(BerTag const& searched) const
{
    return findNode(searched) != nullptr;
}

std::string BerTlv::hexValue() const
{
    return HexUtil::format(value);
}

std::string BerTlv::textValue() const
{
    return value.ascii();
}

std::string BerTlv::dump(std::string const& indent) const
{
    std::string out;
    appendDump(out, indent, indent);
    return out;
}

void BerTlv::appendDump(std::string& out, std::string const& indent, std::string const& baseIndent) const
{
    out += indent;
    if (primitive) {
        out += " - [" + tag.hex() + "] " + hexValue() + "\t\t\t\t[ascii: " + textValue() + "]\r\n";
        return;
    }
    out += " + [" + tag.hex() + "]\r\n";
    // The indent doubles per level; past maxDoubledIndent characters it grows
    // by the first level's indent only, so deep trees cannot blow up the dump.
    std::string const childIndent = indent + (indent.size() < maxDoubledIndent ? indent : baseIndent);
    for (BerTlv const& child : children)
        child.appendDump(out, childIndent, baseIndent);
}

void BerTlv::addData(BerTlv tlv)
{
    children.push_back(std::move(tlv));
}

void BerTlv::addData(BerTag tag, BerData const& value)
{
    children.emplace_back(std::move(tag), value);
}

}  // namespace Ber
