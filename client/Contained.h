#pragma once

#include <QtGlobal>

#include <exception>

namespace ect {

// Runs the call and logs what it throws instead of letting it reach the C
// interface, which calls the client from its own threads.
template <typename Call>
void contained(const char* what, Call&& call) noexcept
{
    try {
        call();
    } catch (const std::exception& exception) {
        qWarning("Client %s failed: %s", what, exception.what());
    } catch (...) {
        qWarning("Client %s failed", what);
    }
}

} // namespace ect
