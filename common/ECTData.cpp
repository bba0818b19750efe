#include "common/ECTData.h"

#include <cstdint>
#include <cstring>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace ect {

namespace {

void appendHex(std::string& text, unsigned char byte, char const* digits)
{
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
}

int checkedCount(int count)
{
    if (count < 0)
        throw std::invalid_argument("ECTData: negative byte count");
    return count;
}

char const upperDigits[] = "0123456789ABCDEF";
char const lowerDigits[] = "0123456789abcdef";

} // namespace

ECTData::ECTData(unsigned char const* bytes, int count)
    : bytes_(bytes, bytes + checkedCount(count))
{
}

ECTData::ECTData(std::vector<unsigned char> const& bytes)
    : bytes_(bytes)
{
}

ECTData::ECTData(char const* text)
    : ECTData(fromString(text))
{
}

ECTData ECTData::fromString(char const* text)
{
    if (text == nullptr)
        return ECTData();
    auto const* begin = reinterpret_cast<unsigned char const*>(text);
    return ECTData(std::vector<unsigned char>(begin, begin + std::strlen(text)));
}

int ECTData::length() const
{
    return static_cast<int>(bytes_.size());
}

std::vector<unsigned char> ECTData::bytes() const
{
    return bytes_;
}

bool ECTData::operator==(ECTData const& other) const
{
    return bytes_ == other.bytes_;
}

bool ECTData::operator!=(ECTData const& other) const
{
    return !(*this == other);
}

void ECTData::appendData(ECTData const& other)
{
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
}

ECTData ECTData::subdataWithRange(int location, unsigned int length) const
{
    // The end wraps like the unsigned 32-bit sum it is; a range that ends
    // beyond the data, or before its own start, is empty.
    std::uint32_t const end = static_cast<std::uint32_t>(location) + length;
    if (end > bytes_.size() || location >= static_cast<std::int32_t>(end))
        return ECTData();
    if (location < 0)
        throw std::out_of_range("ECTData::subdataWithRange: negative location");
    return ECTData(std::vector<unsigned char>(bytes_.begin() + location, bytes_.begin() + end));
}

std::string ECTData::stringValue() const
{
    std::string text;
    text.reserve(bytes_.size() * 2);
    for (unsigned char byte : bytes_)
        appendHex(text, byte, upperDigits);
    return text;
}

std::string ECTData::stringValueWithSpaces() const
{
    std::string text;
    for (std::size_t index = 0; index < bytes_.size(); ++index) {
        if (index > 0)
            text += ' ';
        appendHex(text, bytes_[index], upperDigits);
    }
    return text;
}

std::string ECTData::ascii() const
{
    return std::string(bytes_.begin(), bytes_.end());
}

std::string ECTData::description() const
{
    std::string text = "<";
    for (std::size_t index = 0; index < bytes_.size(); ++index) {
        if (index > 0 && index % 4 == 0)
            text += ' ';
        appendHex(text, bytes_[index], lowerDigits);
    }
    return text + ">";
}

long long ECTData::ZUVALongValue() const
{
    long long value = 0;
    std::istringstream(stringValue()) >> value;
    return value;
}

void ECTData::dump() const
{
    std::cout << description() << std::endl;
    std::cout << "\tAscii                 : " << ascii() << std::endl;
    std::cout << "\tStringValue           : " << stringValue() << std::endl;
    std::cout << "\tStringValueWithSpaces : " << stringValueWithSpaces() << std::endl;
    std::cout << std::endl;
}

} // namespace ect
