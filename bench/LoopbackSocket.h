#pragma once

#include "simterminal/SimMessage.h"

#include <cstdint>

// Plain socket calls shared by the benchmark's own servers and terminals.
class LoopbackSocket {
public:
    // Sends every byte on a blocking socket; false when the peer is gone.
    static bool sendAll(int socket, const testsupport::Bytes& bytes);
    // A socket connected to the loopback port, without Nagle delay; -1 (errno set) when it fails.
    static int connectedTo(uint16_t port);
};
