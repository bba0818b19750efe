#include "common/ECTFinancialCounterInfo.h"

#include <json/json.h>

#include <array>
#include <time.h>
#include <utility>

namespace ect {

namespace {

constexpr std::uint32_t serviceCount = 9;

constexpr std::array<char const*, serviceCount> serviceLabels = {
    " | Sale",   " | Cash Advance", " | Reservation",     " | Sale After Reservation", " | Card Validity Check",
    " | Refund", " | Deferred Sale", " | Extra on Sale", " | Cancellation"};

struct CardBrand {
    char const* identifier;
    char const* label;
};

// Descriptive labels of the known 4-digit brand ids.
constexpr std::array<CardBrand, 26> cardBrands = {{
    {"0001", "Domestic debit card"},
    {"0013", "Domestic contactless debit card"},
    {"1001", "International credit card A"},
    {"1002", "International debit card A"},
    {"1003", "International prepaid card A"},
    {"1009", "International credit card B"},
    {"1010", "International debit card B"},
    {"1011", "International prepaid card B"},
    {"1012", "International credit card C"},
    {"1013", "International charge card"},
    {"2002", "Regional debit card A"},
    {"2003", "Regional debit card B"},
    {"2004", "Regional credit card"},
    {"2005", "Regional prepaid card"},
    {"2007", "Store card"},
    {"2008", "Fuel card"},
    {"2009", "Fuel card"},
    {"2012", "Gift card"},
    {"2013", "Loyalty card"},
    {"3001", "Private label card A"},
    {"3002", "Private label card B"},
    {"3003", "Private label card C"},
    {"3004", "Private label card D"},
    {"3020", "Meal voucher card"},
    {"3400", "Mobile wallet"},
    {"4010", "Electronic purse"},
}};

std::uint32_t serviceIndex(ECTFinancialCounterInfoAccountedServices service)
{
    return static_cast<std::uint32_t>(service);
}

boost::optional<std::tm> readDate(Json::Value const& member)
{
    if (member.isNull())
        return boost::none;
    std::string const text = member.asString();
    std::tm date{};
    // Text after the seconds is ignored; a partial match keeps what it read.
    strptime(text.c_str(), "%Y-%m-%d-%H-%M-%S", &date);
    date.tm_isdst = -1; // the terminal's local time, summer or not: mktime decides
    return date;
}

} // namespace

ECTFinancialCounterInfo::ECTFinancialCounterInfo(std::string const& json)
{
    try {
        read(json);
    } catch (...) {
        // A member of an unexpected type ends the reading; the rest keeps its defaults.
    }
}

void ECTFinancialCounterInfo::read(std::string const& json)
{
    Json::Value parsed;
    if (!Json::Reader().parse(json, parsed, true))
        return;
    Json::Value const& root = parsed;
    identifier_ = root["financialCounterIdentifier"].asString();
    currencyCode_ = root["financialCounterCurrency"].asString();
    name_ = root["financialCounterLabelName"].asString();
    // A count past the accessor's range is no count of 0, nor the end of the reading.
    Json::Value const& count = root["financialCounterNumberOfTransactions"];
    hasTransactionsNumber_ = count.isInt();
    transactionsNumber_ = hasTransactionsNumber_ ? count.asInt() : 0;
    cumulativeTotalAmount_ = root["financialCounterCumulativeTotalAmount"].asDouble();
    hasCumulativeTotalAmount_ = root.isMember("financialCounterCumulativeTotalAmount");
    periodNumber_ = root["financialCounterPeriodNumber"].asString();
    cardBrandIdentifier_ = root["financialCounterCardBrandIdentifier"].asString();
    terminalIdentifier_ = root["financialCounterTerminalIdentifier"].asString();
    periodOpeningDate_ = readDate(root["financialCounterPeriodOpeningDate"]);
    periodClosingDate_ = readDate(root["financialCounterPeriodClosingDate"]);
    readAccountedServices(root["financialCounterAccountedServices"].asString());
}

void ECTFinancialCounterInfo::readAccountedServices(std::string const& services)
{
    for (std::uint32_t index = 0; index < serviceCount && index < services.size(); ++index) {
        if (services[index] == '1')
            linkService(static_cast<ECTFinancialCounterInfoAccountedServices>(index));
    }
}

std::string ECTFinancialCounterInfo::identifier() const { return identifier_; }
std::string ECTFinancialCounterInfo::currencyCode() const { return currencyCode_; }
std::string ECTFinancialCounterInfo::name() const { return name_; }
std::int32_t ECTFinancialCounterInfo::transactionsNumber() const { return transactionsNumber_; }
double ECTFinancialCounterInfo::cumulativeTotalAmount() const { return cumulativeTotalAmount_; }
bool ECTFinancialCounterInfo::hasTransactionsNumber() const { return hasTransactionsNumber_; }
bool ECTFinancialCounterInfo::hasCumulativeTotalAmount() const { return hasCumulativeTotalAmount_; }
std::string ECTFinancialCounterInfo::periodNumber() const { return periodNumber_; }
std::string ECTFinancialCounterInfo::cardBrandIdentifier() const { return cardBrandIdentifier_; }
std::string ECTFinancialCounterInfo::terminalIdentifier() const { return terminalIdentifier_; }
boost::optional<std::tm> ECTFinancialCounterInfo::periodOpeningDate() const { return periodOpeningDate_; }
boost::optional<std::tm> ECTFinancialCounterInfo::periodClosingDate() const { return periodClosingDate_; }

bool ECTFinancialCounterInfo::isServiceLinked(ECTFinancialCounterInfoAccountedServices service) const
{
    std::uint32_t const index = serviceIndex(service);
    return index < serviceCount && index < accountedServices_.size() && accountedServices_[index] == '1';
}

void ECTFinancialCounterInfo::linkService(ECTFinancialCounterInfoAccountedServices service)
{
    std::uint32_t const index = serviceIndex(service);
    if (index < serviceCount)
        accountedServices_.at(index) = '1';
}

void ECTFinancialCounterInfo::setAccountedServicesBinayValue(std::string value)
{
    accountedServices_ = std::move(value);
}

std::string ECTFinancialCounterInfo::accountedServicesDescription() const
{
    std::string text = accountedServices_;
    for (std::uint32_t index = 0; index < serviceCount; ++index) {
        if (isServiceLinked(static_cast<ECTFinancialCounterInfoAccountedServices>(index)))
            text += serviceLabels[index];
    }
    return text;
}

std::string ECTFinancialCounterInfo::cardBrandName() const
{
    for (CardBrand const& brand : cardBrands) {
        if (cardBrandIdentifier_ == brand.identifier)
            return brand.label;
    }
    return "Unknown";
}

} // namespace ect
