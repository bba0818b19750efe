#pragma once

#include <boost/optional.hpp>

#include <cstdint>
#include <ctime>
#include <string>

namespace ect {

// The services a financial counter can account for; each value is the index
// of its character in the accounted-services text.
enum class ECTFinancialCounterInfoAccountedServices : std::int32_t {
    Sale = 0,
    CashAdvance = 1,
    Reservation = 2,
    SaleAfterReservation = 3,
    CardValidityCheck = 4,
    Refund = 5,
    DeferredSale = 6,
    ExtraOnSale = 7,
    Cancellation = 8,
};

// One financial counter of a balance reply, read from the JSON text of one
// element of "financialCounterInfos".
class ECTFinancialCounterInfo {
public:
    // Never throws: unreadable text leaves the fields from the failing key on at their defaults.
    explicit ECTFinancialCounterInfo(std::string const& json);

    std::string identifier() const;
    // "" when the terminal sent none, or one the library does not know.
    std::string currencyCode() const;
    std::string name() const;
    // 0 when the terminal sent no count or total the library could read (one
    // past this type's range among them): see the has...() below.
    std::int32_t transactionsNumber() const;
    double cumulativeTotalAmount() const;
    bool hasTransactionsNumber() const;
    bool hasCumulativeTotalAmount() const;
    std::string periodNumber() const;
    std::string cardBrandIdentifier() const;
    std::string terminalIdentifier() const;
    // The terminal's local times; tm_isdst is -1, so mktime applies the
    // zone's summer time for that day.
    boost::optional<std::tm> periodOpeningDate() const;
    boost::optional<std::tm> periodClosingDate() const;

    bool isServiceLinked(ECTFinancialCounterInfoAccountedServices service) const;
    // Throws std::out_of_range when a stored text is too short for the service.
    void linkService(ECTFinancialCounterInfoAccountedServices service);
    void setAccountedServicesBinayValue(std::string value);
    // The services text followed by " | <label>" for each linked service.
    std::string accountedServicesDescription() const;

    // A descriptive label of the card brand, "Unknown" when not known.
    std::string cardBrandName() const;

private:
    void read(std::string const& json);
    void readAccountedServices(std::string const& services);

    std::string identifier_;
    std::string currencyCode_;
    std::string name_;
    std::int32_t transactionsNumber_ = 0;
    double cumulativeTotalAmount_ = 0.0;
    bool hasTransactionsNumber_ = false;
    bool hasCumulativeTotalAmount_ = false;
    std::string periodNumber_;
    std::string cardBrandIdentifier_;
    std::string terminalIdentifier_;
    boost::optional<std::tm> periodOpeningDate_;
    boost::optional<std::tm> periodClosingDate_;
    std::string accountedServices_ = "000000000";
};

} // namespace ect
