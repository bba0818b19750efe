// libFuzzer target: BerTlvParser::parseTlvs and what reads its list.
#include "encoding/ber/BerTlvParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    try {
        Ber::BerTlvs const list = Ber::BerTlvParser().parseTlvs(Ber::BerData(data, size));
        if (list.tlvs.size() > Ber::BerTlvParser::maxTopLevelElements)
            std::abort();
        list.dump("  ");
        list.find(Ber::BerTag(0xDF, 0x13));
        list.findAll(Ber::BerTag(0xDF, 0x27));
    } catch (std::out_of_range const&) {
    } catch (std::invalid_argument const&) {
    }
    return 0;
}
