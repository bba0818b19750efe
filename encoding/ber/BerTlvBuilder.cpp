#include "encoding/ber/BerTlvBuilder.h"

#include "encoding/ber/BerTlvParser.h"
#include "encoding/ber/HexUtil.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace Ber {

namespace {

uint32_t const maxEncodableLength = 0xFFFFFF;

void appendBytes(BerData const& bytes, std::vector<unsigned char>& out)
{
    out.insert(out.end(), bytes.data(), bytes.data() + bytes.length());
}

// Grows geometrically, so that many small adds stay linear.
void reserveFor(std::vector<unsigned char>& out, std::size_t extra)
{
    std::size_t const needed = out.size() + extra;
    if (needed > out.capacity())
        out.reserve(std::max(needed, 2 * out.capacity()));
}

void appendLengthField(std::vector<unsigned char>& out, uint32_t length)
{
    if (length < 0x80) {
        out.push_back(static_cast<unsigned char>(length));
        return;
    }
    int const count = length <= 0xFF ? 1 : length <= 0xFFFF ? 2 : 3;
    out.push_back(static_cast<unsigned char>(0x80 | count));
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(length >> shift));
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
    std::vector<unsigned char> field;
    appendLengthField(field, static_cast<uint32_t>(length));
    return BerData(std::move(field));
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
            return framedSize(tlv.tag.bytes.length(), tlv.value.length());
        std::size_t const content = contentSize(tlv);
        if (tlv.tag.bytes.length() == 0)
            return content;
        return framedSize(tlv.tag.bytes.length(), content);
    }

    static void write(BerTlv const& tlv, std::vector<unsigned char>& out)
    {
        if (tlv.primitive) {
            writeHeader(tlv.tag, tlv.value.length(), out);
            appendBytes(tlv.value, out);
            return;
        }
        if (tlv.tag.bytes.length() > 0)
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

    static void writeHeader(BerTag const& tag, std::size_t contentSize, std::vector<unsigned char>& out)
    {
        appendBytes(tag.bytes, out);
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
    std::vector<unsigned char>& out = output.bytes;
    reserveFor(out, framedSize(tag.bytes.length(), value.length()));
    appendBytes(tag.bytes, out);
    appendLengthField(out, value.length());
    appendBytes(value, out);
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
    std::vector<unsigned char>& out = output.bytes;
    reserveFor(out, TreeEncoder::encodedSize(tlv));
    TreeEncoder::write(tlv, out);
}

BerData BerTlvBuilder::buildData() const
{
    if (templateTag.bytes.length() == 0)
        return output;
    std::vector<unsigned char> encoded;
    encoded.reserve(framedSize(templateTag.bytes.length(), output.length()));
    appendBytes(templateTag.bytes, encoded);
    appendLengthField(encoded, output.length());
    appendBytes(output, encoded);
    return BerData(std::move(encoded));
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
