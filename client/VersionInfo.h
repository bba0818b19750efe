#pragma once

#include <string>

namespace ect {

// The library's version ("2.2.0"); "0.0.0" when the C interface gives none.
std::string getLibraryVersion();

} // namespace ect
