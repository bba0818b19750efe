#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>

#include <string>

namespace oxa {

// The styled JSON text {"error": {...}} in which every failure reaches the
// cash register; an empty optional gives an empty "error" object.
std::string jsonFromError(boost::optional<ect::ECTError> const& error);

} // namespace oxa
