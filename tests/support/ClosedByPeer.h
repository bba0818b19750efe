#pragma once

#include <cerrno>

#include <sys/socket.h>

namespace testsupport {

// Whether the far end has closed a connected socket, without waiting; a
// byte it sent is read.
inline bool closedByPeer(int socket)
{
    char byte = 0;
    const ssize_t got = ::recv(socket, &byte, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace testsupport
