#include "encoding/ber/BerTlvBuilder.h"

#include "encoding/ber/BerTlvParser.h"
#include "encoding/ber/HexUtil.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace Ber {

namespace {

uint32_t const maxEncodableLength = 0xFFFFFF;

std::size_t const maxLengthFieldSize = 4;

// Writes the length field into field, which has maxLengthFieldSize bytes;
// returns its size.
std::size_t writeLengthField(unsigned char* field, uint32_t length)
{
    if (length < 0x80) {
        field[0] = static_cast<unsigned char>(length);
        return 1;
    }
    int const count = length <= 0xFF ? 1 : length <= 0xFFFF ? 2 : 3;
    field[0] = static_cast<unsigned char>(0x80 | count);
    for (int i = 1; i <= count; ++i)
        field[i] = static_cast<unsigned char>(length >> (8 * (count - i)));
    return 1 + count;
}

// Bytes is the byte string inside BerData and BerTag.
template <class Bytes>
void appendLengthField(Bytes& out, uint32_t length)
{
    unsigned char field[maxLengthFieldSize];
    out.append(field, writeLengthField(field, length));
}

// Grows geometrically, so that many small adds stay linear.
template <class Bytes>
void reserveFor(Bytes& out, std::size_t extra)
{
    std::size_t const needed = out.size() + extra;
    if (needed > out.capacity())
        out.reserve(std::max(needed, 2 * out.capacity()));
}

// Size of the length field for length; throws the length exception for a
// length that has no field.
std::size_t lengthFieldSize(std::size_t length)
{
    if (length > maxEncodableLength)
        createLengthData(static_cast<int>(std::min<std::size_t>(length, INT_MAX)));
    return length < 0x80 ? 1 : length <= 0xFF ? 2 : length <= 0xFFFF ? 3 : 4;
}

std::size_t framedSize(std::size_t tagSize, std::size_t contentSize)
{
    return tagSize + lengthFieldSize(contentSize) + contentSize;
}

}  // namespace

BerData createLengthData(int length)
{
    class Exception : public std::exception {
    public:
        char const* what() const noexcept override
        {
            return "LengthOutOfRangeException : Length is out of range";
        }
    };

    if (length < 0 || static_cast<uint32_t>(length) > maxEncodableLength)
        throw Exception();
    unsigned char field[maxLengthFieldSize];
    return BerData(field, static_cast<unsigned int>(writeLengthField(field, static_cast<uint32_t>(length))));
}

// Encoding a tree takes two walks: the first measures it and fails before
// anything is written, the second writes straight into the output, so no
// subtree is encoded into a buffer of its own or copied. Each element's
// content is measured again for every ancestor, which costs less than
// keeping the sizes for the shallow trees of messages.
class BerTlvBuilder::TreeEncoder {
public:
    using Output = decltype(BerData::bytes);

    static std::size_t encodedSize(BerTlv const& tlv)
    {
        if (tlv.primitive)
            return framedSize(tlv.tag.bytes.size(), tlv.value.length());
        std::size_t const content = contentSize(tlv);
        if (tlv.tag.bytes.size() == 0)
            return content;
        return framedSize(tlv.tag.bytes.size(), content);
    }

    static void write(BerTlv const& tlv, Output& out)
    {
        if (tlv.primitive) {
            writeHeader(tlv.tag, tlv.value.length(), out);
            out.append(tlv.value.data(), tlv.value.length());
            return;
        }
        if (tlv.tag.bytes.size() > 0)
            writeHeader(tlv.tag, contentSize(tlv), out);
        for (BerTlv const& child : tlv.children)
            write(child, out);
    }

private:
    static std::size_t contentSize(BerTlv const& tlv)
    {
        std::size_t content = 0;
        for (BerTlv const& child : tlv.children)
            content += encodedSize(child);
        return content;
    }

    static void writeHeader(BerTag const& tag, std::size_t contentSize, Output& out)
    {
        out.append(tag.bytes.data(), tag.bytes.size());
        appendLengthField(out, static_cast<uint32_t>(contentSize));
    }
};

BerTlvBuilder::BerTlvBuilder(BerTag const& templateTag) : templateTag(templateTag) {}

BerTlvBuilder::BerTlvBuilder(BerTlvs const& tlvs)
{
    addBerTlvs(tlvs);
}

BerTlvBuilder::BerTlvBuilder(BerTlv const& tlv)
{
    if (tlv.primitive) {
        addBytes(tlv.value, tlv.tag);
        return;
    }
    templateTag = tlv.tag;
    for (BerTlv const& child : tlv.children)
        addBerTlv(child);
}

void BerTlvBuilder::addBytes(BerData const& value, BerTag const& tag)
{
    auto& out = output.bytes;
    reserveFor(out, framedSize(tag.bytes.size(), value.length()));
    out.append(tag.bytes.data(), tag.bytes.size());
    appendLengthField(out, value.length());
    out.append(value.data(), value.length());
}

void BerTlvBuilder::addHex(std::string const& hex, BerTag const& tag)
{
    addBytes(HexUtil::parse(hex), tag);
}

void BerTlvBuilder::addText(std::string const& text, BerTag const& tag)
{
    addBytes(BerData(reinterpret_cast<unsigned char const*>(text.data()),
                     static_cast<unsigned int>(text.size())),
             tag);
}

void BerTlvBuilder::addBerTlv(BerTlv const& tlv)
{
    if (tlv.primitive) {
        addBytes(tlv.value, tlv.tag);
        return;
    }
    appendEncoding(tlv);
}

void BerTlvBuilder::addBerTlvs(BerTlvs const& tlvs)
{
    for (BerTlv const& tlv : tlvs.tlvs)
        addBerTlv(tlv);
}

void BerTlvBuilder::appendEncoding(BerTlv const& tlv)
{
    auto& out = output.bytes;
    reserveFor(out, TreeEncoder::encodedSize(tlv));
    TreeEncoder::write(tlv, out);
}

BerData BerTlvBuilder::buildData() const
{
    if (templateTag.bytes.size() == 0)
        return output;
    BerData encoded;
    auto& out = encoded.bytes;
    out.reserve(framedSize(templateTag.bytes.size(), output.length()));
    out.append(templateTag.bytes.data(), templateTag.bytes.size());
    appendLengthField(out, output.length());
    out.append(output.data(), output.length());
    return encoded;
}

BerTlv BerTlvBuilder::buildTlv() const
{
    return BerTlvParser().parseConstructed(buildData());
}

BerTlvs BerTlvBuilder::buildTlvs() const
{
    return BerTlvParser().parseTlvs(buildData());
}

}  // namespace Ber
