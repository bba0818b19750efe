#pragma once

#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTag.h"
#include "encoding/ber/BerTlv.h"
#include "encoding/ber/BerTlvs.h"

#include <cstdint>

namespace Ber {

// The pieces of one element header. Each throws std::out_of_range
// ("OutOfRangeException : Length is out of range") when the field is cut
// off by the end of the data.

// Number of tag bytes at offset (1 to 11).
int calcTagBytesCount(BerData const& data, int offset);
BerTag createTag(BerData const& data, int offset, int count);
// Size of the length field at offset (1 to 128; only 1 to 4 are readable).
int calcLengthBytesCount(BerData const& data, int offset);
// The value length encoded at offset; a field of more than 4 bytes throws
// std::invalid_argument ("BadLengthException").
uint32_t calcDataLength(BerData const& data, int offset);

// Parses BER bytes into element trees. Stateless; one object may serve
// several threads at once. Malformed input throws std::out_of_range
// ("OutOfRangeException : Length is out of range") or std::invalid_argument
// ("BadLengthException"); nothing outside the input is ever read.
class BerTlvParser {
public:
    // Input nested deeper than this many levels is refused.
    static constexpr int maxNestingDepth = 16;
    // parseTlvs reads at most this many top-level elements.
    static constexpr int maxTopLevelElements = 100;

    BerTlvParser() = default;

    // The one element at the start of data; bytes after it are ignored.
    BerTlv parseConstructed(BerData data) const;
    // The consecutive elements from the start of data.
    BerTlvs parseTlvs(BerData data) const;

private:
    // Parses the element at offset into node, which is default-built: the
    // children are parsed in place, never moved.
    void parseWithResult(BerTlv& node, int64_t& end, BerData const& data, int64_t offset,
                         int64_t window, int depth) const;
    void addChildren(BerData const& data, int64_t valueStart, int64_t valueEnd,
                     int depth, std::vector<BerTlv>& children) const;
};

}  // namespace Ber
