// libFuzzer target: message header parsing, its accessors and dump.
#include "encoding/ZUVAHeader.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    QByteArray const bytes(reinterpret_cast<char const*>(data), static_cast<int>(size));
    try {
        oxa::ZUVAHeader const header(bytes);
        int const length = header.length().length();
        if (length < 0 || length > oxa::ECTMessageLength::kMaximum || header.type() > 1 || header.code() != "MC")
            std::abort();
        if (header.data() != bytes || header.dump().empty())
            std::abort();
        // A request header with the same destination and length parses back to that length.
        oxa::ZUVAHeader const rebuilt(
            oxa::buildZUVARequestHeader(Ber::BerData(header.destination()), header.length().data()));
        if (rebuilt.length().length() != length)
            std::abort();
    } catch (std::invalid_argument const&) {
    }
    return 0;
}
