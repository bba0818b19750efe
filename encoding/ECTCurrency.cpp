#include "encoding/ECTCurrency.h"

#include "encoding/ECTDataZUVADigital.h"

namespace oxa {

Ber::BerData ECTCurrency::data() const
{
    return ECTDataZUVADigital(zuvaCode);
}

std::string ECTCurrency::description() const
{
    return "[" + zuvaCode + " - " + code + "] " + name + " : " + std::to_string(decimals)
        + " decimal(s), maximum transaction amount: " + std::to_string(maximumTransactionAmount)
        + ", cashback allowed: " + (cashbackAllowed ? "Yes" : "No");
}

} // namespace oxa
