// libFuzzer target: whatever parses must build back to bytes that parse to
// an equal tree, and building that tree again gives the same bytes.
#include "encoding/ber/BerTlvBuilder.h"
#include "encoding/ber/BerTlvParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace {

bool equalTrees(Ber::BerTlv const& a, Ber::BerTlv const& b)
{
    if (a.tag != b.tag || a.value != b.value || a.primitive != b.primitive ||
        a.constructed != b.constructed || a.children.size() != b.children.size())
        return false;
    for (std::size_t i = 0; i < a.children.size(); ++i) {
        if (!equalTrees(a.children[i], b.children[i]))
            return false;
    }
    return true;
}

void checkElement(Ber::BerData const& input)
{
    Ber::BerTlv parsed;
    try {
        parsed = Ber::BerTlvParser().parseConstructed(input);
    } catch (std::out_of_range const&) {
        return;
    } catch (std::invalid_argument const&) {
        return;
    }
    Ber::BerData const built = Ber::BerTlvBuilder(parsed).buildData();
    Ber::BerTlv const reparsed = Ber::BerTlvParser().parseConstructed(built);
    if (!equalTrees(parsed, reparsed) || Ber::BerTlvBuilder(reparsed).buildData() != built)
        std::abort();
}

void checkList(Ber::BerData const& input)
{
    Ber::BerTlvs parsed;
    try {
        parsed = Ber::BerTlvParser().parseTlvs(input);
    } catch (std::out_of_range const&) {
        return;
    } catch (std::invalid_argument const&) {
        return;
    }
    Ber::BerData const built = Ber::BerTlvBuilder(parsed).buildData();
    Ber::BerTlvs const reparsed = Ber::BerTlvParser().parseTlvs(built);
    if (parsed.tlvs.size() != reparsed.tlvs.size())
        std::abort();
    for (std::size_t i = 0; i < parsed.tlvs.size(); ++i) {
        if (!equalTrees(parsed.tlvs[i], reparsed.tlvs[i]))
            std::abort();
    }
    if (Ber::BerTlvBuilder(reparsed).buildData() != built)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    Ber::BerData const input(data, size);
    checkElement(input);
    checkList(input);
    return 0;
}
