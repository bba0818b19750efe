#pragma once

#include <QString>

#include <functional>

namespace testsupport {

// The host's own Qt message handler, installed as the test program starts,
// before the library is set up: the library's warnings reach it. Each goes
// on to the handler in place before it, after the reaction, if any, has run
// on the thread that gives the warning.
void reactToWarnings(std::function<void(const QString& warning)> reaction);

} // namespace testsupport
