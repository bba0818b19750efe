#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

Bytes fromHex(const std::string& hex);
std::string toHex(const Bytes& bytes);
Bytes textBytes(const std::string& text);

// A deliberately separate, minimal BER-TLV codec for the simulated terminal, so
// that a fault in the library's codec cannot hide behind a shared implementation.
struct SimTlv {
    Bytes tag;
    Bytes value;                  // primitive elements only
    std::vector<SimTlv> children; // constructed elements only

    static SimTlv primitive(const Bytes& tag, const Bytes& value);
    static SimTlv constructed(const Bytes& tag, const std::vector<SimTlv>& children);
    static SimTlv text(const std::string& hexTag, const std::string& text);
    static SimTlv hex(const std::string& hexTag, const std::string& hexValue);

    bool isConstructed() const { return !tag.empty() && (tag[0] & 0x20) != 0; }
    Bytes encode() const;
    // Depth first, the element itself first; null when absent.
    const SimTlv* find(const Bytes& searched) const;
    const SimTlv* find(const std::string& hexTag) const { return find(fromHex(hexTag)); }
    std::string textValue() const { return std::string(value.begin(), value.end()); }

    // Parses consecutive elements; throws std::runtime_error on malformed input.
    static std::vector<SimTlv> parseAll(const Bytes& bytes);
};

} // namespace testsupport
