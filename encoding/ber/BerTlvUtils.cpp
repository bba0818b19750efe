#include "encoding/ber/BerTlvUtils.h"

#include <cstdio>

namespace Ber {

unsigned int sizeOfBerTlvData(BerTlv const& tlv)
{
    if (tlv.primitive)
        return tlv.value.length();
    unsigned int size = 0;
    // Every child's length field counts as one byte here.
    for (BerTlv const& child : tlv.children)
        size += child.tag.data().length() + 1 + sizeOfBerTlvData(child);
    return size;
}

std::string BerTlvUtils::dumpDataRepresentation(BerTlv const& tlv, int* offset)
{
    int start = 0;
    int& counter = offset ? *offset : start;
    std::string out;
    appendRepresentation(out, tlv, counter);
    return out;
}

std::string BerTlvUtils::dumpDataRepresentation(BerTlv const& tlv)
{
    return dumpDataRepresentation(tlv, nullptr);
}

void BerTlvUtils::appendLine(std::string& out, int offset, BerTlv const& tlv, unsigned int length)
{
    char numbers[16];
    std::snprintf(numbers, sizeof numbers, "%04d", offset);
    out += numbers;
    out += "          ";
    out += tlv.tag.data().stringValueWithSpaces();
    std::snprintf(numbers, sizeof numbers, " %02X", length);
    out += numbers;
}

void BerTlvUtils::appendRepresentation(std::string& out, BerTlv const& tlv, int& offset)
{
    int const tagBytes = static_cast<int>(tlv.tag.data().length());
    if (tlv.primitive) {
        appendLine(out, offset, tlv, tlv.value.length());
        out += " " + tlv.value.stringValueWithSpaces() + "    | [" + tlv.textValue() + "]\n";
        offset += tagBytes + 1 + static_cast<int>(tlv.value.length());
        return;
    }
    appendLine(out, offset, tlv, sizeOfBerTlvData(tlv));
    out += "\n";
    offset += tagBytes + 1;
    for (BerTlv const& child : tlv.children)
        appendRepresentation(out, child, offset);
}

}  // namespace Ber
