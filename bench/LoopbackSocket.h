#pragma once

#include "simterminal/SimMessage.h"

// Plain socket calls shared by the benchmark's own servers and terminals.
class LoopbackSocket {
public:
    // Sends every byte on a blocking socket; false when the peer is gone.
    static bool sendAll(int socket, const testsupport::Bytes& bytes);
};
