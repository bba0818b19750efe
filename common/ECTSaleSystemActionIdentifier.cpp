#include "common/ECTSaleSystemActionIdentifier.h"

#include "common/ECTError.h"

#include <utility>

namespace ect {

namespace {

ECTData checkedFourBytes(ECTData data)
{
    if (data.length() != 4) {
        throw ECTError(ECTErrorCode::Technical_Issue, kMalformedRequestValue,
                       {{"reason", "the data of ECTSaleSystemActionIdentifier must contain 4 bytes, current value: "
                                       + data.description()}});
    }
    return data;
}

} // namespace

ECTSaleSystemActionIdentifier::ECTSaleSystemActionIdentifier()
    : ECTSaleSystemActionIdentifier(0, 0, 0, 0)
{
}

ECTSaleSystemActionIdentifier::ECTSaleSystemActionIdentifier(unsigned char b0, unsigned char b1,
                                                             unsigned char b2, unsigned char b3)
    : ECTData(std::vector<unsigned char>{b0, b1, b2, b3})
{
}

ECTSaleSystemActionIdentifier::ECTSaleSystemActionIdentifier(unsigned long value)
    : ECTSaleSystemActionIdentifier(static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value))
{
}

ECTSaleSystemActionIdentifier::ECTSaleSystemActionIdentifier(ECTData data)
    : ECTData(checkedFourBytes(std::move(data)))
{
}

std::uint32_t ECTSaleSystemActionIdentifier::value() const
{
    std::uint32_t result = 0;
    for (unsigned char byte : bytes())
        result = (result << 8) | byte;
    return result;
}

} // namespace ect
