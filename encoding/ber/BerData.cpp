#include "encoding/ber/BerData.h"

#include <QByteArray>

#include <cstdio>
#include <iostream>
#include <limits>
#include <stdexcept>

namespace Ber {

namespace {

char const upperDigits[] = "0123456789ABCDEF";
char const lowerDigits[] = "0123456789abcdef";

void appendHexByte(std::string& out, unsigned char byte, char const* digits)
{
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

}  // namespace

BerData::BerData(std::initializer_list<unsigned char> bytes) : bytes(bytes.begin(), bytes.size()) {}

BerData::BerData(unsigned char const* bytes, unsigned int count) : bytes(bytes, count) {}

BerData::BerData(QByteArray const& bytes)
    : bytes(reinterpret_cast<unsigned char const*>(bytes.constData()), static_cast<std::size_t>(bytes.size()))
{
}

BerData::BerData(std::vector<unsigned char> const& bytes) : bytes(bytes.data(), bytes.size()) {}

BerData::BerData(std::vector<unsigned char>&& bytes) : bytes(bytes.data(), bytes.size()) {}

bool BerData::operator==(BerData const& other) const
{
    return bytes == other.bytes;
}

bool BerData::operator!=(BerData const& other) const
{
    return !(*this == other);
}

void BerData::appendData(BerData const& other)
{
    bytes.append(other.bytes.data(), other.bytes.size());
}

BerData BerData::subdataWithRange(int offset, unsigned int length) const
{
    // The end wraps like the unsigned 32-bit sum it is.
    uint32_t const end = static_cast<uint32_t>(offset) + length;
    if (end > this->length() || offset >= static_cast<int32_t>(end))
        return BerData();
    if (offset < 0)
        throw std::out_of_range("BerData::subdataWithRange: negative offset");
    return BerData(bytes.data() + offset, end - static_cast<uint32_t>(offset));
}

std::string BerData::stringValue() const
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes)
        appendHexByte(text, byte, upperDigits);
    return text;
}

std::string BerData::stringValueWithSpaces() const
{
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += ' ';
        appendHexByte(text, bytes.data()[i], upperDigits);
    }
    return text;
}

std::string BerData::ascii() const
{
    std::string text;
    text.reserve(bytes.size());
    for (unsigned char byte : bytes) {
        if (byte != 0)
            text += static_cast<char>(byte);
    }
    return text;
}

int64_t BerData::ZUVALongValue() const
{
    // Each nibble is one hexadecimal digit of the text; the number is its
    // leading run of decimal digits, saturated like stream extraction.
    int64_t const max = std::numeric_limits<int64_t>::max();
    int64_t number = 0;
    for (unsigned char byte : bytes) {
        for (int digit : {byte >> 4, byte & 0x0F}) {
            if (digit > 9)
                return number;
            if (number > (max - digit) / 10)
                return max;
            number = number * 10 + digit;
        }
    }
    return number;
}

std::string BerData::description() const
{
    std::string text = "<";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 4 == 0)
            text += ' ';
        appendHexByte(text, bytes.data()[i], lowerDigits);
    }
    text += '>';
    return text;
}

void BerData::dump() const
{
    std::cout << description() << std::endl
              << "\tAscii                 : " << ascii() << std::endl
              << "\tStringValue           : " << stringValue() << std::endl
              << "\tStringValueWithSpaces : " << stringValueWithSpaces() << std::endl
              << std::endl;
}

}  // namespace Ber
