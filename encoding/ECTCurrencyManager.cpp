#include "encoding/ECTCurrencyManager.h"

#include "encoding/StringUtils.h"

namespace oxa {

namespace {

// name, decimals, maximum transaction amount, cash-back allowed, alphabetic code, numeric code
char const* const CURRENCIES[][6] = {
    {"Euro", "2", "9999999999", "FALSE", "EUR", "0978"},
    {"British Pound", "2", "9999999999", "FALSE", "GBP", "0826"},
    {"Czech Koruna", "2", "9999999999", "TRUE", "CZK", "0203"},
    {"Norwegian Krone", "2", "9999999999", "FALSE", "NOK", "0578"},
    {"Danish Krone", "2", "9999999999", "FALSE", "DKK", "0208"},
    {"Swedish Krona", "2", "9999999999", "FALSE", "SEK", "0752"},
};

enum Column { Name, Decimals, MaximumTransactionAmount, CashbackAllowed, Code, ZuvaCode };

char const kName[] = "name";
char const kDecimals[] = "decimals";
char const kMaximumTransactionAmount[] = "maximumTransactionAmount";
char const kCashbackAllowed[] = "cashbackAllowed";

} // namespace

ECTCurrencyManager::ECTCurrencyManager()
{
    for (auto const& row : CURRENCIES) {
        std::string const code = row[Code];
        std::string const zuvaCode = row[ZuvaCode];
        attributesByCode[code] = Attributes{
            {kName, row[Name]},
            {kDecimals, row[Decimals]},
            {kMaximumTransactionAmount, row[MaximumTransactionAmount]},
            {kCashbackAllowed, row[CashbackAllowed]},
        };
        zuvaCodeByCode[code] = zuvaCode;
        codeByZuvaCode[zuvaCode] = code;
        codeByZuvaCode[zuvaCode.substr(1)] = code;
    }
}

ECTCurrencyManager const& ECTCurrencyManager::shared()
{
    static const ECTCurrencyManager& currencies = *new ECTCurrencyManager;
    return currencies;
}

boost::optional<ECTCurrency> ECTCurrencyManager::currencyWithCode(std::string code) const
{
    std::string const upperCode = StringUtils::uppercaseString(std::move(code));
    auto const attributes = attributesByCode.find(upperCode);
    if (attributes == attributesByCode.end())
        return boost::none;
    Attributes const& values = attributes->second;
    ECTCurrency currency;
    currency.code = upperCode;
    currency.zuvaCode = zuvaCodeByCode.at(upperCode);
    currency.name = values.at(kName);
    currency.decimals = std::stoi(values.at(kDecimals));
    currency.maximumTransactionAmount = std::stoll(values.at(kMaximumTransactionAmount));
    currency.cashbackAllowed = values.at(kCashbackAllowed) == "TRUE";
    return currency;
}

boost::optional<ECTCurrency> ECTCurrencyManager::currencyWithZuvaCode(std::string code) const
{
    auto const found = codeByZuvaCode.find(code);
    if (found == codeByZuvaCode.end())
        return boost::none;
    return currencyWithCode(found->second);
}

} // namespace oxa
