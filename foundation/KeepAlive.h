#pragma once

namespace vorsam {

// Switches keep-alive on a socket descriptor on (4 probes 2 s apart) and
// Nagle's algorithm off; logs the first failing option and returns false.
bool setKeepAliveValues(int descriptor);

} // namespace vorsam
