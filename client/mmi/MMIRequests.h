#pragma once

#include "common/MMIParameter.h"

#include <json/value.h>


namespace ect {

// The request documents of the display and keyboard actions. Values are copied as they stand: the engine
// checks ranges and lengths and refuses what it cannot send.
class MMIRequests {
public:
    static Json::Value open();
    static Json::Value close();
    // The close that also names its type; its answer concerns nobody.
    static Json::Value resetScreen();
    static Json::Value operation(const MMIParameter& parameter);
};

} // namespace ect
