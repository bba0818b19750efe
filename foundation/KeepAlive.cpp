#include "foundation/KeepAlive.h"

#include <QDebug>

#include <cerrno>
#include <cstring>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace vorsam {

namespace {

const int KeepAliveProbes = 4;
const int KeepAliveIntervalSeconds = 2;

bool setOption(int descriptor, int level, int option, int value, const char* failure)
{
    if (setsockopt(descriptor, level, option, &value, sizeof(value)) == 0)
        return true;
    qDebug() << failure << std::strerror(errno);
    return false;
}

} // namespace

bool setKeepAliveValues(int descriptor)
{
    return setOption(descriptor, SOL_SOCKET, SO_KEEPALIVE, 1, "setsockopt SO_KEEPALIVE failed: ")
        && setOption(descriptor, IPPROTO_TCP, TCP_KEEPCNT, KeepAliveProbes, "setsockopt TCP_KEEPCNT failed: ")
        && setOption(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, KeepAliveIntervalSeconds,
                     "setsockopt TCP_KEEPINTVL failed: ")
        && setOption(descriptor, IPPROTO_TCP, TCP_NODELAY, 1, "setsockopt TCP_NODELAY failed: ");
}

} // namespace vorsam
