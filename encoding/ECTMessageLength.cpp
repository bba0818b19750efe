#include "encoding/ECTMessageLength.h"

#include "encoding/ECTDataZUVADigital.h"
#include "engine/base/ECTCertificationLogging.h"

namespace oxa {

ECTMessageLength::ECTMessageLength(int length)
{
    assign(length);
}

ECTMessageLength::ECTMessageLength(Ber::BerData const& data)
{
    // Compared in full width: a long field must not wrap into the valid range.
    assign(data.ZUVALongValue());
}

int ECTMessageLength::length() const
{
    return m_length;
}

Ber::BerData ECTMessageLength::data() const
{
    return ECTDataZUVADigital(m_length, 4);
}

void ECTMessageLength::assign(std::int64_t length)
{
    if (length < 0 || length > kMaximum) {
        ECTCertificationLogging::sharedInstance().log("The value must be >= 0 and <= 9999 !");
        m_length = 0;
        return;
    }
    m_length = static_cast<std::int32_t>(length);
}

} // namespace oxa
