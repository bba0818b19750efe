// libFuzzer target: BerTlvParser::parseConstructed and what reads its tree.
#include "encoding/ber/BerTlvParser.h"
#include "encoding/ber/BerTlvUtils.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    try {
        Ber::BerTlv const root = Ber::BerTlvParser().parseConstructed(Ber::BerData(data, size));
        root.dump("  ");
        Ber::BerTlvUtils::dumpDataRepresentation(root);
        root.find(Ber::BerTag(0xDF, 0x21));
        root.findAll(Ber::BerTag(0xE1));
    } catch (std::out_of_range const&) {
    } catch (std::invalid_argument const&) {
    }
    return 0;
}
