#include "foundation/TcpIpServerListener.h"

namespace vorsam {

void TcpIpServerListener::onConnect(std::weak_ptr<TcpIpSocket>)
{
}

void TcpIpServerListener::onDisconnect(std::weak_ptr<TcpIpSocket>)
{
}

} // namespace vorsam
