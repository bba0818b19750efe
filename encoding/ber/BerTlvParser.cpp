#include "encoding/ber/BerTlvParser.h"

#include <stdexcept>

namespace Ber {

namespace {

int const maxTagBytes = 11;
int const maxLengthValueBytes = 3;

[[noreturn]] void throwOutOfRange()
{
    throw std::out_of_range("OutOfRangeException : Length is out of range");
}

bool inside(BerData const& data, int64_t offset)
{
    return offset >= 0 && offset < data.length();
}

// The header readers below report a field cut off by the end of the data
// instead of reading past it; the public operations turn that into the
// parser's exception, the child count into a shorter count.

// Number of tag bytes at offset, 0 when the tag is cut off.
int tagSize(BerData const& data, int64_t offset)
{
    if (!inside(data, offset))
        return 0;
    unsigned char const* bytes = data.data();
    if ((bytes[offset] & 0x1F) != 0x1F)
        return 1;
    int count = 1;
    while (count < maxTagBytes) {
        if (!inside(data, offset + count))
            return 0;
        unsigned char const next = bytes[offset + count];
        ++count;
        if ((next & 0x80) == 0)
            break;
    }
    return count;
}

enum class LengthField { Read, CutOff, Unreadable };

// The value length at offset and the size of its field.
LengthField readLength(BerData const& data, int64_t offset, uint32_t& length, int& fieldSize)
{
    if (!inside(data, offset))
        return LengthField::CutOff;
    unsigned char const first = data.data()[offset];
    if (first < 0x80) {
        length = first;
        fieldSize = 1;
        return LengthField::Read;
    }
    int const count = first & 0x7F;
    if (count > maxLengthValueBytes)
        return LengthField::Unreadable;
    if (!inside(data, offset + count))
        return LengthField::CutOff;
    length = 0;
    for (int i = 1; i <= count; ++i)
        length = (length << 8) | data.data()[offset + i];
    fieldSize = 1 + count;
    return LengthField::Read;
}

// How many children the parser will find between valueStart and valueEnd,
// or fewer when it will fail; only used to size the list up front.
std::size_t countChildren(BerData const& data, int64_t valueStart, int64_t valueEnd)
{
    std::size_t count = 0;
    for (int64_t position = valueStart; position < valueEnd; ++count) {
        int const tagBytes = tagSize(data, position);
        uint32_t length = 0;
        int lengthBytes = 0;
        if (tagBytes == 0 || readLength(data, position + tagBytes, length, lengthBytes) != LengthField::Read)
            break;
        position += tagBytes + lengthBytes + int64_t(length);
    }
    return count;
}

// readLength with the parser's exceptions.
uint32_t readLengthOrThrow(BerData const& data, int64_t offset, int& fieldSize)
{
    uint32_t length = 0;
    switch (readLength(data, offset, length, fieldSize)) {
    case LengthField::Read:
        return length;
    case LengthField::Unreadable:
        throw std::invalid_argument("BadLengthException");
    case LengthField::CutOff:
        break;
    }
    throwOutOfRange();
}

}  // namespace

int calcTagBytesCount(BerData const& data, int offset)
{
    int const count = tagSize(data, offset);
    if (count == 0)
        throwOutOfRange();
    return count;
}

BerTag createTag(BerData const& data, int offset, int count)
{
    BerTag tag;
    if (offset >= 0 && count >= 0 && int64_t(offset) + count <= data.length())
        tag.setData(BerData(data.data() + offset, static_cast<unsigned int>(count)));
    return tag;
}

int calcLengthBytesCount(BerData const& data, int offset)
{
    if (!inside(data, offset))
        throwOutOfRange();
    unsigned char const first = data.data()[offset];
    return first < 0x80 ? 1 : 1 + (first & 0x7F);
}

uint32_t calcDataLength(BerData const& data, int offset)
{
    int fieldSize = 0;
    return readLengthOrThrow(data, offset, fieldSize);
}

BerTlv BerTlvParser::parseConstructed(BerData data) const
{
    BerTlv root;
    int64_t end = 0;
    parseWithResult(root, end, data, 0, data.length(), 1);
    return root;
}

BerTlvs BerTlvParser::parseTlvs(BerData data) const
{
    BerTlvs list;
    int64_t const size = data.length();
    int64_t position = 0;
    while (position < size && list.tlvs.size() < std::size_t(maxTopLevelElements)) {
        int64_t end = 0;
        list.tlvs.emplace_back();
        parseWithResult(list.tlvs.back(), end, data, position, size - position, 1);
        position = end;
    }
    return list;
}

// Offsets stay far below 2^31 (a length field encodes less than 2^24), but
// are kept in 64 bits so that no sum can wrap.
void BerTlvParser::parseWithResult(BerTlv& node, int64_t& end, BerData const& data, int64_t offset,
                                   int64_t window, int depth) const
{
    // The depth bound keeps both this recursion and the indent of
    // BerTlv::dump small.
    if (depth > maxNestingDepth || offset + window > data.length())
        throwOutOfRange();
    int const tagBytes = calcTagBytesCount(data, static_cast<int>(offset));
    int64_t const lengthOffset = offset + tagBytes;
    int lengthBytes = 0;
    uint32_t const valueLength = readLengthOrThrow(data, static_cast<int>(lengthOffset), lengthBytes);
    int64_t const valueStart = lengthOffset + lengthBytes;
    end = valueStart + valueLength;

    // The bytes go straight into the node's storage, without a temporary.
    // The flags are those BerTlv(BerTag) sets.
    unsigned char const* const bytes = data.data();
    node.tag.bytes.assign(bytes + offset, static_cast<std::size_t>(tagBytes));
    node.constructed = (bytes[offset] & 0x20) != 0;
    node.primitive = !node.constructed;
    if (node.primitive) {
        // A value running past the data is left empty; the element still
        // ends where its length says.
        if (end <= data.length())
            node.value.bytes.assign(bytes + valueStart, valueLength);
        return;
    }
    addChildren(data, valueStart, end, depth, node.children);
}

void BerTlvParser::addChildren(BerData const& data, int64_t valueStart, int64_t valueEnd, int depth,
                               std::vector<BerTlv>& children) const
{
    if (valueEnd > data.length())
        throwOutOfRange();
    children.reserve(countChildren(data, valueStart, valueEnd));
    int64_t position = valueStart;
    while (position < valueEnd) {
        int64_t childEnd = 0;
        children.emplace_back();
        parseWithResult(children.back(), childEnd, data, position, valueEnd - position, depth + 1);
        position = childEnd;
    }
}

}  // namespace Ber
