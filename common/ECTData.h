#pragma once

#include <string>
#include <vector>

namespace ect {

// An owned byte buffer. In JSON its bytes are upper-case hexadecimal text.
class ECTData {
public:
    ECTData() = default;
    // Throws std::invalid_argument for a negative count.
    ECTData(unsigned char const* bytes, int count);
    ECTData(std::vector<unsigned char> const& bytes);
    ECTData(char const* text);

    // The raw characters of the text, one byte each; not read as hexadecimal.
    static ECTData fromString(char const* text);

    int length() const;
    std::vector<unsigned char> bytes() const;

    bool operator==(ECTData const& other) const;
    bool operator!=(ECTData const& other) const;

    void appendData(ECTData const& other);

    // Empty when location + length passes the end; a negative location
    // otherwise throws std::out_of_range.
    ECTData subdataWithRange(int location, unsigned int length) const;

    std::string stringValue() const;           // "01AB"
    std::string stringValueWithSpaces() const; // "01 AB"
    std::string ascii() const;
    std::string description() const;           // "<01020304 05>"
    long long ZUVALongValue() const;           // packed decimal read back: 12 34 gives 1234
    void dump() const;

private:
    std::vector<unsigned char> bytes_;
};

} // namespace ect
