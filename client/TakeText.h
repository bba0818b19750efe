#pragma once

#include <boost/optional.hpp>

#include <string>

namespace ect {

// A copy of a text the C interface returned, which is released; none for null.
boost::optional<std::string> takeText(char* text);

} // namespace ect
