#pragma once

#include "encoding/ECTCurrency.h"

#include <boost/optional.hpp>

#include <map>
#include <string>

namespace oxa {

// The supported currencies, looked up by alphabetic or numeric code.
// Immutable after construction, so one instance serves every thread.
class ECTCurrencyManager {
public:
    ECTCurrencyManager();

    // Built once: every reply and request looks a currency up.
    static ECTCurrencyManager const& shared();

    // Any case: "eur" finds the Euro. Empty for an unsupported code.
    boost::optional<ECTCurrency> currencyWithCode(std::string code) const;
    // Exact numeric code, with or without its leading zero ("0978", "978").
    boost::optional<ECTCurrency> currencyWithZuvaCode(std::string code) const;

private:
    using Attributes = std::map<std::string, std::string>;

    std::map<std::string, std::string> zuvaCodeByCode;
    std::map<std::string, std::string> codeByZuvaCode;
    std::map<std::string, Attributes> attributesByCode;
};

} // namespace oxa
