#include "encoding/ber/BerTlvBuilder.h"

#include "encoding/ber/ByteCopy.h"
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
    static std::size_t encodedSize(BerTlv const& tlv)
    {
        if (tlv.primitive)
            return framedSize(tlv.tag.bytes.size(), tlv.value.length());
        std::size_t const content = contentSize(tlv);
        if (tlv.tag.bytes.size() == 0)
            return content;
        return framedSize(tlv.tag.bytes.size(), content);
    }

    // Writes the encoding, encodedSize(tlv) bytes, at out; returns its end.
    static unsigned char* write(BerTlv const& tlv, unsigned char* out)
    {
        if (tlv.primitive) {
            out = writeHeader(tlv.tag, tlv.value.length(), out);
            return copyBytes(out, tlv.value.data(), tlv.value.length());
        }
        if (tlv.tag.bytes.size() > 0)
            out = writeHeader(tlv.tag, contentSize(tlv), out);
        for (BerTlv const& child : tlv.children)
            out = write(child, out);
        return out;
    }

    static unsigned char* writeHeader(BerTag const& tag, std::size_t contentSize, unsigned char* out)
    {
        out = copyBytes(out, tag.bytes.data(), tag.bytes.size());
        return out + writeLengthField(out, static_cast<uint32_t>(contentSize));
    }

private:
    static std::size_t contentSize(BerTlv const& tlv)
    {
        std::size_t content = 0;
        for (BerTlv const& child : tlv.children)
            content += encodedSize(child);
        return content;
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
    unsigned char* out = output.bytes.extend(framedSize(tag.bytes.size(), value.length()));
    out = TreeEncoder::writeHeader(tag, value.length(), out);
    copyBytes(out, value.data(), value.length());
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
    TreeEncoder::write(tlv, output.bytes.extend(TreeEncoder::encodedSize(tlv)));
}

BerData BerTlvBuilder::buildData() const
{
    if (templateTag.bytes.size() == 0)
        return output;
    BerData encoded;
    unsigned char* out = encoded.bytes.extend(framedSize(templateTag.bytes.size(), output.length()));
    out = TreeEncoder::writeHeader(templateTag, output.length(), out);
    copyBytes(out, output.data(), output.length());
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
