#include "LoopbackSocket.h"

#include <sys/socket.h>

#include <cerrno>

bool LoopbackSocket::sendAll(int socket, const testsupport::Bytes& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        sent += static_cast<size_t>(written);
    }
    return true;
}
