#pragma once

#include <json/value.h>

namespace ect {

// How a card was read, from an object "cardType" of a reply.
struct CardType {
    bool contactless = false;
    bool magneticStripe = false;
    bool iccEmv = false;
    bool iccNonEmv = false;
    bool barCode = false;
    bool manualEntry = false;
    bool synchronousChip = false;
    bool asynchronousChip = false;

    // A missing flag, or a value that is no object, reads as false.
    static CardType read(const Json::Value& cardType);
};

} // namespace ect
