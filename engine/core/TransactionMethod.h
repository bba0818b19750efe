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
    // The new transaction carries the answer to the delivery question of the
    // one in flight and takes its result callback over; refused when nothing
    // in flight waits for such an answer.
    ImmediateNested = 3,
};

} // namespace oxa
