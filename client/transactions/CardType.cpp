#include "client/transactions/CardType.h"

#include "client/TransactionHelpers.h"

namespace ect {

CardType CardType::read(const Json::Value& cardType)
{
    CardType flags;
    flags.contactless = readBool(cardType, "isContactless");
    flags.magneticStripe = readBool(cardType, "isMagneticStripe");
    flags.iccEmv = readBool(cardType, "isIccEmv");
    flags.iccNonEmv = readBool(cardType, "isIccNonEmv");
    flags.barCode = readBool(cardType, "isBarCode");
    flags.manualEntry = readBool(cardType, "isManualEntry");
    flags.synchronousChip = readBool(cardType, "isSynchronousChip");
    flags.asynchronousChip = readBool(cardType, "isAsynchronousChip");
    return flags;
}

} // namespace ect
