#include "encoding/ber/BerTag.h"

#include "encoding/ber/HexUtil.h"

namespace Ber {

BerTag::BerTag(unsigned char b1) : bytes{b1} {}

BerTag::BerTag(unsigned char b1, unsigned char b2) : bytes{b1, b2} {}

BerTag::BerTag(unsigned char b1, unsigned char b2, unsigned char b3) : bytes{b1, b2, b3} {}

BerTag::BerTag(BerData data, int offset, unsigned int length)
    : bytes(data.subdataWithRange(offset, length))
{
}

bool BerTag::isConstructed() const
{
    return bytes.length() > 0 && (bytes.data()[0] & 0x20) != 0;
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
    return HexUtil::format(bytes);
}

std::string BerTag::description() const
{
    return (isConstructed() ? "+ " : "- ") + hex();
}

BerTag BerTag::parse(std::string const& hex)
{
    BerTag tag;
    tag.bytes = HexUtil::parse(hex);
    return tag;
}

BerData BerTag::data() const
{
    return bytes;
}

void BerTag::setData(BerData data)
{
    bytes = std::move(data);
}

}  // namespace Ber
