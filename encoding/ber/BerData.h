#pragma once

#include "encoding/ber/InlineBytes.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class QByteArray;

namespace Ber {

// An owned string of bytes with the text views the protocol code reads
// fields through (hexadecimal, characters, packed-decimal numbers).
class BerData {
public:
    BerData() = default;
    BerData(std::initializer_list<unsigned char> bytes);
    // count 0 never reads from bytes, so a null pointer is fine then
    BerData(unsigned char const* bytes, unsigned int count);
    BerData(QByteArray const& bytes);
    BerData(std::vector<unsigned char> const& bytes);
    BerData(std::vector<unsigned char>&& bytes);

    bool operator==(BerData const& other) const;
    bool operator!=(BerData const& other) const;

    uint32_t length() const { return bytes.size(); }
    // Not zero-terminated: read exactly length() bytes.
    unsigned char const* data() const { return bytes.data(); }

    void appendData(BerData const& other);

    // A copy of length bytes from offset; a range reaching past the end
    // gives empty bytes.
    BerData subdataWithRange(int offset, unsigned int length) const;

    // Upper-case hexadecimal, two digits per byte: 0A1BFF.
    std::string stringValue() const;
    // Same with one blank between bytes: 0A 1B FF.
    std::string stringValueWithSpaces() const;
    // The bytes as characters, zero bytes left out.
    std::string ascii() const;
    // The hexadecimal text read as a decimal number (packed BCD): 12 34
    // gives 1234; only the leading run of decimal digits counts.
    int64_t ZUVALongValue() const;
    // Lower-case hexadecimal in groups of four bytes: <01020304 05>.
    std::string description() const;
    // Writes the text views to standard output.
    void dump() const;

private:
    friend class BerTlvBuilder;
    friend class BerTlvParser;

    // Room for most values of a message, a 32-column ticket line included.
    InlineBytes<32> bytes;
};

}  // namespace Ber
