#include "foundation/SerialServerListener.h"

namespace vorsam {

void SerialServerListener::onOpen(std::weak_ptr<SerialPort>)
{
}

void SerialServerListener::onClose(std::weak_ptr<SerialPort>)
{
}

} // namespace vorsam
