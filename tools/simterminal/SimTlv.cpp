#include "SimTlv.h"

#include <stdexcept>

namespace testsupport {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::runtime_error("bad hex digit");
}

void appendLength(Bytes& out, size_t length)
{
    if (length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
        return;
    }
    Bytes digits;
    for (size_t rest = length; rest != 0; rest >>= 8)
        digits.insert(digits.begin(), static_cast<uint8_t>(rest & 0xFF));
    out.push_back(static_cast<uint8_t>(0x80 | digits.size()));
    out.insert(out.end(), digits.begin(), digits.end());
}

struct Reader {
    const Bytes& bytes;
    size_t pos;

    uint8_t next()
    {
        if (pos >= bytes.size())
            throw std::runtime_error("element runs past the end");
        return bytes[pos++];
    }

    Bytes readTag()
    {
        Bytes tag{next()};
        if ((tag[0] & 0x1F) == 0x1F) {
            uint8_t b;
            do {
                b = next();
                tag.push_back(b);
            } while (b & 0x80);
        }
        return tag;
    }

    size_t readLength()
    {
        const uint8_t first = next();
        if (first < 0x80)
            return first;
        const int count = first & 0x7F;
        if (count == 0 || count > 3)
            throw std::runtime_error("bad length");
        size_t length = 0;
        for (int i = 0; i < count; ++i)
            length = (length << 8) | next();
        return length;
    }
};

} // namespace

Bytes fromHex(const std::string& hex)
{
    Bytes out;
    std::string digits;
    for (char c : hex)
        if (c != ' ')
            digits.push_back(c);
    if (digits.size() % 2 != 0)
        throw std::runtime_error("odd hex text");
    for (size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
    return out;
}

std::string toHex(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out;
}

Bytes textBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

SimTlv SimTlv::primitive(const Bytes& tag, const Bytes& value)
{
    SimTlv tlv;
    tlv.tag = tag;
    tlv.value = value;
    return tlv;
}

SimTlv SimTlv::constructed(const Bytes& tag, const std::vector<SimTlv>& children)
{
    SimTlv tlv;
    tlv.tag = tag;
    tlv.children = children;
    return tlv;
}

SimTlv SimTlv::text(const std::string& hexTag, const std::string& text)
{
    return primitive(fromHex(hexTag), textBytes(text));
}

SimTlv SimTlv::hex(const std::string& hexTag, const std::string& hexValue)
{
    return primitive(fromHex(hexTag), fromHex(hexValue));
}

Bytes SimTlv::encode() const
{
    Bytes content = value;
    if (isConstructed()) {
        content.clear();
        for (const auto& child : children) {
            const Bytes encoded = child.encode();
            content.insert(content.end(), encoded.begin(), encoded.end());
        }
    }
    Bytes out = tag;
    appendLength(out, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

const SimTlv* SimTlv::find(const Bytes& searched) const
{
    if (tag == searched)
        return this;
    for (const auto& child : children)
        if (const SimTlv* hit = child.find(searched))
            return hit;
    return nullptr;
}

std::vector<SimTlv> SimTlv::parseAll(const Bytes& bytes)
{
    std::vector<SimTlv> elements;
    Reader reader{bytes, 0};
    while (reader.pos < bytes.size()) {
        SimTlv tlv;
        tlv.tag = reader.readTag();
        const size_t length = reader.readLength();
        if (length > bytes.size() - reader.pos)
            throw std::runtime_error("element runs past the end");
        Bytes content(bytes.begin() + reader.pos, bytes.begin() + reader.pos + length);
        reader.pos += length;
        if (tlv.isConstructed())
            tlv.children = parseAll(content);
        else
            tlv.value = content;
        elements.push_back(tlv);
    }
    return elements;
}

} // namespace testsupport
