// libFuzzer target: message body parsing, every accessor and the log dump.
#include "encoding/ZUVABody.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace {

void readEveryField(oxa::ZUVABody const& body)
{
    int const sequenceNumber = body.sequenceNumber().value();
    if (sequenceNumber < 0 || sequenceNumber > oxa::ECTMessageSequenceNumber::kMaximum)
        std::abort();
    body.messageTypeId();
    body.rejectionCode();
    body.incidentCode();
    body.saleSystemActionIdentifier();
    body.merchantText();
    body.dumpWithLogOffsetStartAt(38);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    QByteArray const bytes(reinterpret_cast<char const*>(data), static_cast<int>(size));
    try {
        oxa::ZUVABody const body(bytes);
        if (body.data() != bytes)
            std::abort();
        readEveryField(body);
        readEveryField(oxa::ZUVABody(body));
    } catch (std::invalid_argument const&) {
    } catch (std::out_of_range const&) {
    }
    return 0;
}
