#include "encoding/ECTMessageSequenceNumber.h"

#include "encoding/ECTDataZUVADigital.h"

#include <stdexcept>

namespace oxa {

ECTMessageSequenceNumber::ECTMessageSequenceNumber(int value)
{
    if (value < 0 || value > kMaximum)
        throw std::invalid_argument("invalid sequence nr");
    m_value = value;
}

ECTMessageSequenceNumber::ECTMessageSequenceNumber(Ber::BerData const& data)
{
    std::int64_t const decoded = data.ZUVALongValue();
    if (decoded >= 0 && decoded <= kMaximum)
        m_value = static_cast<std::int32_t>(decoded);
}

int ECTMessageSequenceNumber::value() const
{
    return m_value;
}

Ber::BerData ECTMessageSequenceNumber::data() const
{
    return ECTDataZUVADigital(m_value, 2);
}

} // namespace oxa
