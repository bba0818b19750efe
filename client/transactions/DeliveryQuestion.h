#pragma once

#include <string>

namespace ect {

// The terminal's product-delivery question during a sale, as the C interface
// delivers it: a result document whose "result" holds "productdelivery" true.
class DeliveryQuestion {
public:
    static bool is(const std::string& reply);
    // The question as a sale reply: its "timestamp" as the date, its
    // "acquirerIdentifier" as the acquirer.
    static std::string asSaleReply(const std::string& question);
    // The answer that refuses the delivery.
    static std::string refusal();
};

} // namespace ect
