#pragma once

#include "encoding/ber/BerData.h"
#include "encoding/ber/InlineBytes.h"

#include <string>

namespace Ber {

// The bytes of one BER tag, in wire order. Bit 0x20 of the first byte marks
// a constructed element.
class BerTag {
public:
    BerTag() = default;
    BerTag(unsigned char b1);
    BerTag(unsigned char b1, unsigned char b2);
    BerTag(unsigned char b1, unsigned char b2, unsigned char b3);
    // The tag bytes are data.subdataWithRange(offset, length).
    BerTag(BerData data, int offset, unsigned int length);

    bool isConstructed() const;

    bool operator==(BerTag const& other) const;
    bool operator!=(BerTag const& other) const;

    // Upper-case hexadecimal: DF9468.
    std::string hex() const;
    // "+ E1" for a constructed tag, "- DF21" otherwise.
    std::string description() const;

    static BerTag parse(std::string const& hex);

    BerData data() const;
    void setData(BerData data);

private:
    friend class BerTlvBuilder;
    friend class BerTlvParser;

    // A tag read from the wire has at most 11 bytes; longer ones set by
    // hand go to the heap.
    InlineBytes<16> bytes;
};

}  // namespace Ber
