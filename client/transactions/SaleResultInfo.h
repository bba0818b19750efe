#pragma once

#include <json/value.h>

#include <boost/optional.hpp>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace ect {

// The sale details of one reply, the base of every sale-like result. Copies
// share one state: the client ticket that the ticket retrieval stores
// through one copy is seen through all of them. Reading never throws: a
// missing member, or one of another JSON type, gives its default.
class SaleResultInfo {
public:
    // From the object "result" of a sale reply; a null value gives the defaults.
    explicit SaleResultInfo(const Json::Value& result);

    // Every two characters become one byte, read as by strtol in base 16.
    std::vector<unsigned char> HexToBytes(const std::string& text) const;

    // The terminal's local time; tm_isdst is -1, so mktime applies the
    // zone's summer time for that day.
    boost::optional<std::tm> timeStamp() const;
    // What the terminal approved, 0 when it sent no readable amount (see
    // hasAuthorizedAmount). It and the currency may differ from those asked
    // for without any error: compare them before booking the sale
    // (<zuva/HostGuide.md>, "Results").
    double authorizedAmount() const;
    // Whether the terminal sent an amount the library could read: without
    // one, an approval is no approval of 0.00.
    bool hasAuthorizedAmount() const;
    // The alphabetic code of the currency the terminal approved ("EUR");
    // empty when it sent none or one the library does not know.
    std::string currency() const;
    std::string authorizationCode() const;
    std::string acquirerDiscretionaryData() const;
    std::string acquirerId() const;
    std::string language() const;
    std::string clippedPAN() const;
    std::string cardBrandName() const;
    std::string cardBrandIdentifier() const;
    std::string clientTicket() const;
    std::string merchantTicket() const;
    std::string merchantText() const;
    bool signatureRequired() const;
    boost::optional<double> additionalAmount() const;
    // True only when the terminal sent its partial-approval code, never
    // false; empty does not mean the whole amount was approved.
    boost::optional<bool> partialApproval() const;
    std::string ticketLayoutIdentifier() const;
    std::string ticketDiscreteElements() const;
    boost::optional<std::vector<unsigned char>> proprietaryData() const;
    bool isContactless() const;
    bool isMagneticStripe() const;
    bool isIccEmv() const;
    bool isIccNonEmv() const;
    bool isBarCode() const;
    bool isManualEntry() const;
    bool isSynchronousChip() const;
    bool isAsynchronousChip() const;
    bool processedInBackupMode() const;

    // Replaces the client ticket in the state every copy shares.
    void updateClientTicket(const std::string& ticket) const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace ect
