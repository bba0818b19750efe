#include "client/ZUVAService.h"

#include "client/ConnectedTerminalsList.h"
#include "client/TakeText.h"
#include "client/TransactionHelpers.h"
#include "client/ZUVAServiceImpl.h"
#include "engine/service/oxazuva.h"

namespace ect {

using Callbacks = ZUVAServiceImpl::Callbacks;

std::shared_ptr<ZUVAService> makeTcpIpZUVAService(int port, ZUVAServiceListener& listener)
{
    return std::make_shared<ZUVAServiceImpl>(listener, [port](const Callbacks& c, void* userData) {
        return zuva_start_tcpip_service(port, c.started, c.stopped, c.connected, c.disconnected, c.error,
                                        c.notification, userData);
    });
}

std::shared_ptr<ZUVAService> makeSerialZUVAService(const std::string& portName, ZUVAServiceListener& listener)
{
    return std::make_shared<ZUVAServiceImpl>(listener, [portName](const Callbacks& c, void* userData) {
        return zuva_start_serial_service(portName.c_str(), c.started, c.stopped, c.connected, c.disconnected,
                                         c.error, c.notification, userData);
    });
}

std::shared_ptr<ZUVAService> makeSerialZUVAService(const std::string& portName, int baudRate,
                                                   ZUVAServiceListener& listener)
{
    return std::make_shared<ZUVAServiceImpl>(listener, [portName, baudRate](const Callbacks& c, void* userData) {
        return zuva_start_serial_service2(portName.c_str(), baudRate, c.started, c.stopped, c.connected,
                                          c.disconnected, c.error, c.notification, userData);
    });
}

void cleanup()
{
    zuva_clean_up();
}

std::vector<std::string> getAvailableSerialPorts()
{
    std::vector<std::string> ports;
    const boost::optional<std::string> text = takeText(zuva_get_available_serial_ports());
    Json::Value names;
    if (!text || !parseJson(*text, names) || !names.isArray())
        return ports;
    for (const Json::Value& name : names)
        if (name.isString())
            ports.push_back(name.asString());
    return ports;
}

std::vector<std::shared_ptr<ZUVATerminal>> connectedTerminals()
{
    return ConnectedTerminalsList::getInstance().connectedTerminals();
}

std::shared_ptr<ZUVATerminal> getTerminal(std::string terminalId)
{
    return ConnectedTerminalsList::getInstance().getTerminal(terminalId);
}

} // namespace ect
