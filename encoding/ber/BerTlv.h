#pragma once

#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTag.h"

#include <boost/optional.hpp>

#include <string>
#include <vector>

namespace Ber {

// One tag-length-value element with its subtree. The flags come from the
// tag's constructed bit when the element is made and never change; the
// default element is neither primitive nor constructed.
class BerTlv {
public:
    BerTag tag;
    BerData value;
    std::vector<BerTlv> children;
    bool primitive = false;
    bool constructed = false;

    // Not defaulted: a value-initialised element (emplace_back()) would be
    // zero-filled as a whole first, which costs the parser dearly.
    BerTlv() {}
    BerTlv(BerTag tag);
    BerTlv(BerTag tag, BerData const& value);
    BerTlv(BerTag tag, std::vector<BerTlv> const& children);

    // Depth-first, pre-order: this element, then each child's subtree in
    // order. Primitive elements are not searched below. Returns a copy.
    boost::optional<BerTlv> find(BerTag const& tag) const;
    // The same search without the copy: the hit inside this tree, or null.
    BerTlv const* findNode(BerTag const& tag) const;
    // This element if it matches, then the first hit in each direct child.
    std::vector<BerTlv> findAll(BerTag const& tag) const;
    bool hasTag(BerTag const& tag) const;

    std::string hexValue() const;
    std::string textValue() const;

    // One line per element ("\r\n" ended); the indent doubles per level up
    // to 64 characters, then grows by the given indent per level.
    std::string dump(std::string const& indent) const;

    void addData(BerTlv tlv);
    void addData(BerTag tag, BerData const& value);

private:
    friend class BerTlvs;

    void appendDump(std::string& out, std::string const& indent, std::string const& baseIndent) const;
};

}  // namespace Ber
