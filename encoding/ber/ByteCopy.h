#pragma once

#include <cstddef>
#include <cstring>

namespace Ber {

// Copies length bytes from from to to and returns the end of the copy.
// Most copies of the codec are a tag, a length field or a short value, for
// which a library call costs more than the copy itself. Overlapping ranges
// are fine when to is below from.
inline unsigned char* copyBytes(unsigned char* to, unsigned char const* from, std::size_t length) noexcept
{
    std::size_t const shortCopy = 16;
    if (length > shortCopy) {
        std::memmove(to, from, length);
        return to + length;
    }
    for (std::size_t i = 0; i < length; ++i)
        to[i] = from[i];
    return to + length;
}

}  // namespace Ber
