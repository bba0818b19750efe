#include "link/KissOuputInterface.h"

namespace kiss {

KissOuputInterface::KissOuputInterface(QObject* parent)
    : QObject(parent)
{
}

KissOuputInterface::~KissOuputInterface() = default;

void KissOuputInterface::onConnected() {}
void KissOuputInterface::onDisconnected() {}
void KissOuputInterface::onMessageSendFailure(QByteArray) {}
void KissOuputInterface::onMessageSendSuccess() {}
void KissOuputInterface::onMessageReceiveFailure() {}
void KissOuputInterface::onMessageReceiveSuccess() {}
void KissOuputInterface::onMessageRepeatMayBeAnswer(QByteArray) {}

} // namespace kiss
