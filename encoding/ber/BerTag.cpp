#include "encoding/ber/BerTag.h"

#include "encoding/ber/HexUtil.h"

namespace Ber {

BerTag::BerTag(unsigned char b1) : bytes(&b1, 1) {}

BerTag::BerTag(unsigned char b1, unsigned char b2)
{
    unsigned char const tagBytes[] = {b1, b2};
    bytes.assign(tagBytes, sizeof tagBytes);
}

BerTag::BerTag(unsigned char b1, unsigned char b2, unsigned char b3)
{
    unsigned char const tagBytes[] = {b1, b2, b3};
    bytes.assign(tagBytes, sizeof tagBytes);
}

BerTag::BerTag(BerData data, int offset, unsigned int length)
{
    setData(data.subdataWithRange(offset, length));
}

bool BerTag::isConstructed() const
{
    return bytes.size() > 0 && (bytes.data()[0] & 0x20) != 0;
}

bool BerTag::operator==(BerTag const& other) const
{
    return bytes == other.bytes;
}

bool BerTag::operator!=(BerTag const& other) const
{
    return !(*this == other);
}

std::string BerTag::hex() const
{
    return HexUtil::format(data());
}

std::string BerTag::description() const
{
    return (isConstructed() ? "+ " : "- ") + hex();
}

BerTag BerTag::parse(std::string const& hex)
{
    BerTag tag;
    tag.setData(HexUtil::parse(hex));
    return tag;
}

BerData BerTag::data() const
{
    return BerData(bytes.data(), bytes.size());
}

void BerTag::setData(BerData data)
{
    bytes.assign(data.data(), data.length());
}

}  // namespace Ber
