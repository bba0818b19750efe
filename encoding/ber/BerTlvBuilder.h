#pragma once

#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTag.h"
#include "encoding/ber/BerTlv.h"
#include "encoding/ber/BerTlvs.h"

#include <string>

namespace Ber {

// The BER length field of length bytes: short form below 128, else 81, 82
// or 83 and one to three big-endian bytes. Throws an exception derived from
// std::exception ("LengthOutOfRangeException : Length is out of range")
// for a length it cannot encode (negative, or 2^24 and above).
BerData createLengthData(int length);

// Encodes elements into BER bytes, optionally wrapped in one outer
// (template) tag. Every add either appends its whole encoding or, when it
// throws, leaves the builder as it was.
class BerTlvBuilder {
public:
    BerTlvBuilder() = default;
    explicit BerTlvBuilder(BerTag const& templateTag);
    explicit BerTlvBuilder(BerTlvs const& tlvs);
    // buildData() then gives the encoding of this one element.
    explicit BerTlvBuilder(BerTlv const& tlv);

    void addBytes(BerData const& value, BerTag const& tag);
    // Non-hex characters are skipped; an odd digit count gives length 0.
    void addHex(std::string const& hex, BerTag const& tag);
    // One byte per character of the whole string, zero bytes included.
    void addText(std::string const& text, BerTag const& tag);
    // A primitive element writes its value, a constructed one its children;
    // an empty element (no tag) writes nothing.
    void addBerTlv(BerTlv const& tlv);
    void addBerTlvs(BerTlvs const& tlvs);

    BerData buildData() const;
    BerTlv buildTlv() const;
    BerTlvs buildTlvs() const;

private:
    class TreeEncoder;

    void appendEncoding(BerTlv const& tlv);

    BerData output;
    BerTag templateTag;
};

}  // namespace Ber
