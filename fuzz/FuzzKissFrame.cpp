// Fuzzes the serial link's frame decoder with whatever arrives on the line.
#include "link/KissUtil.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray buffer(reinterpret_cast<const char*>(bytes), static_cast<int>(size));
    int consumed = -1;
    QByteArray data;
    unsigned char sequenceNumber = 0;
    const auto result = kiss::parseKissDataMessage(buffer, consumed, data, sequenceNumber);

    using Result = kiss::ParseKissDataMessageResult;
    if (result == Result::Success || result == Result::CrcError) {
        if (consumed < 5 || consumed > buffer.size() || data.size() > consumed - 5)
            std::abort();
    }
    if (result == Result::Success) {
        // What was decoded encodes into a frame that decodes to the same payload.
        const QByteArray frame = kiss::buildKissDataMessage(data, sequenceNumber);
        int again = 0;
        QByteArray decoded;
        unsigned char sequenceAgain = 0;
        if (kiss::parseKissDataMessage(frame, again, decoded, sequenceAgain) != Result::Success || again != frame.size()
            || decoded != data || sequenceAgain != sequenceNumber)
            std::abort();
    }
    return 0;
}
