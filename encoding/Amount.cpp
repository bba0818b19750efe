#include "encoding/Amount.h"

#include "common/ECTError.h"
#include "encoding/ECTDataZUVADigital.h"

namespace oxa {

namespace {

// More digits than this cannot be held in 64 bits and exceed every maximum.
constexpr std::size_t kMaximumPartDigits = 18;

[[noreturn]] void rejectAmount()
{
    throw ect::ECTError(ect::ECTErrorCode::Rejected, ect::ECTErrorCauseCode::RetailService_InvalidAmount);
}

bool isDigits(std::string const& text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::int64_t digitsValue(std::string const& digits)
{
    std::size_t const firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return 0;
    if (digits.size() - firstSignificant > kMaximumPartDigits)
        rejectAmount();
    std::int64_t value = 0;
    for (std::size_t i = firstSignificant; i < digits.size(); ++i)
        value = value * 10 + (digits[i] - '0');
    return value;
}

std::int64_t powerOfTen(int exponent)
{
    std::int64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

struct AmountText {
    std::string integralDigits;
    std::string decimalDigits;
};

// Splits "digits[separator digits]" with '.' or ',' as the one separator.
AmountText splitAmountText(std::string const& text)
{
    std::size_t const separator = text.find_first_of(".,");
    AmountText parts;
    parts.integralDigits = text.substr(0, separator);
    if (separator != std::string::npos)
        parts.decimalDigits = text.substr(separator + 1);
    if (!isDigits(parts.integralDigits) || !isDigits(parts.decimalDigits))
        rejectAmount();
    return parts;
}

} // namespace

Amount::Amount(QString const& text, ECTCurrency currency)
    : m_currency(std::move(currency))
{
    AmountText const parts = splitAmountText(text.toStdString());
    if (m_currency.decimals < 0 || parts.decimalDigits.size() > static_cast<std::size_t>(m_currency.decimals))
        rejectAmount();
    std::string decimalDigits = parts.decimalDigits;
    decimalDigits.append(static_cast<std::size_t>(m_currency.decimals) - decimalDigits.size(), '0');

    std::int64_t const integral = digitsValue(parts.integralDigits);
    std::int64_t const decimal = digitsValue(decimalDigits);
    if (integral > m_currency.maximumTransactionAmount)
        rejectAmount();
    assignMinorUnits(integral * unit() + decimal);
}

Amount::Amount(std::int64_t minorUnits, ECTCurrency currency)
    : m_currency(std::move(currency))
{
    assignMinorUnits(minorUnits);
}

void Amount::assignMinorUnits(std::int64_t minorUnits)
{
    if (minorUnits <= 0 || minorUnits > m_currency.maximumTransactionAmount * unit())
        rejectAmount();
    m_integralPart = minorUnits / unit();
    m_decimalPart = minorUnits % unit();
    // Integer quotient of exact operands: the double nearest to the decimal text.
    m_value = static_cast<double>(minorUnits) / static_cast<double>(unit());
}

double Amount::value() const
{
    return m_value;
}

std::int64_t Amount::integralPart() const
{
    return m_integralPart;
}

std::int64_t Amount::decimalPart() const
{
    return m_decimalPart;
}

ECTCurrency Amount::currency() const
{
    return m_currency;
}

Ber::BerData Amount::dataWithLength(int digitCount) const
{
    std::string digits = std::to_string(m_integralPart) + decimalDigits();
    if (digitCount > 0 && digits.size() < static_cast<std::size_t>(digitCount))
        digits.insert(0, static_cast<std::size_t>(digitCount) - digits.size(), '0');
    return ECTDataZUVADigital(digits);
}

Ber::BerData Amount::data() const
{
    return dataWithLength(kWireDigits);
}

std::string Amount::toString() const
{
    // Built from the integer parts, so the host's locale cannot change the separator.
    std::string decimals = decimalDigits();
    std::size_t const lastSignificant = decimals.find_last_not_of('0');
    decimals.erase(lastSignificant == std::string::npos ? 0 : lastSignificant + 1);
    return std::to_string(m_integralPart) + "." + (decimals.empty() ? "0" : decimals);
}

Amount Amount::sum(Amount a, Amount b)
{
    return Amount(a.minorUnits() + b.minorUnits(), a.m_currency);
}

std::int64_t Amount::unit() const
{
    return powerOfTen(m_currency.decimals);
}

std::int64_t Amount::minorUnits() const
{
    return m_integralPart * unit() + m_decimalPart;
}

std::string Amount::decimalDigits() const
{
    if (m_currency.decimals <= 0)
        return std::string();
    std::string digits = std::to_string(m_decimalPart);
    if (digits.size() < static_cast<std::size_t>(m_currency.decimals))
        digits.insert(0, static_cast<std::size_t>(m_currency.decimals) - digits.size(), '0');
    return digits;
}

} // namespace oxa
