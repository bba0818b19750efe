#pragma once

#include <QString>

#include <boost/optional.hpp>

namespace oxa {

// One parsed product delivery answer.
struct DeliveryData {
    bool deliveryAccepted = false;
    int deliveryTimeout = 0; // seconds
    boost::optional<QString> saleSystemActionIdentifier; // hexadecimal
    boost::optional<QString> candidateGroupData;         // Base64 of one element
};

} // namespace oxa
