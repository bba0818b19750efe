#pragma once

namespace oxa {

// How the dispatcher treats a new transaction while another one is in flight.
// Stored as a plain integer; any other value is handled as Sequential.
enum TransactionMethod : int {
    // Sent only when nothing is in flight; refused otherwise.
    Sequential = 0,
    // The transaction in flight is abandoned, the new one is sent.
    ImmediateClearQueue = 1,
    // The transaction in flight is set aside (it can still get its reply).
    ImmediateQueue = 2,
    // The new transaction takes over the result callback of the one in flight.
    ImmediateNested = 3,
};

} // namespace oxa
