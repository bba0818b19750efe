#pragma once

#include "encoding/ber/BerTlv.h"

#include <string>

namespace Ber {

// The value size of an element as the data dump counts it: every length
// field of a child counts as one byte, whatever its encoded size.
unsigned int sizeOfBerTlvData(BerTlv const& tlv);

// The table dump of a tree: offset, tag, length, bytes and text per element.
class BerTlvUtils {
public:
    // *offset is the offset shown on the first line; it is advanced past
    // the tree so the caller can go on counting.
    static std::string dumpDataRepresentation(BerTlv const& tlv, int* offset);
    static std::string dumpDataRepresentation(BerTlv const& tlv);

private:
    static void appendLine(std::string& out, int offset, BerTlv const& tlv, unsigned int length);
    static void appendRepresentation(std::string& out, BerTlv const& tlv, int& offset);
};

}  // namespace Ber
