#pragma once

#include <QtGlobal>

#include <string>

namespace oxa {

// Incidents that lose or skip data. They go to the certification log like
// every other entry, and, because that log is off by default, also to the
// Qt message handler the host sees: the one that was in place before the
// library installed its own (standard error unless the host chose another).
class HostWarning {
public:
    // At once, or, on a thread holding a library lock, as it lets go of the last.
    static void report(std::string const& text);

    // The handler that the library's own replaced; null while the library's
    // own is not installed, and warnings then go to the current handler.
    static void keepPreviousHandler(QtMessageHandler previous);
};

} // namespace oxa
