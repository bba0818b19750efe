#include "engine/service/ZUVATcpIpConnectionFactory.h"

#include "engine/core/JsonTransactionRequestHandler.h"
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/TransactionDispatcher.h"
#include "engine/service/ZUVATerminalConnection.h"
#include "translators/ZUVATransactionTable.h"

namespace oxa {

ZUVATcpIpConnectionFactory::ZUVATcpIpConnectionFactory(std::shared_ptr<OXAEnvironment> environment)
    : m_environment(std::move(environment))
{
}

std::unique_ptr<TerminalConnection> ZUVATcpIpConnectionFactory::create(
    std::shared_ptr<vorsam::TcpIpSocket> socket, std::function<void(QJsonDocument)> notification) const
{
    std::shared_ptr<TransactionDispatcher> dispatcher = makeTransactionDispatcher(socket->getOutputStream());
    auto responseHandler = makeJsonZUVAResponseHandler(dispatcher, socket->getInputStream(), notification,
                                                      ZUVATransactionTable::unawaitedReplies());
    auto requestHandler = makeJsonTransactionRequestHandler(dispatcher);
    return std::make_unique<ZUVATerminalConnection>(m_environment, dispatcher, std::move(requestHandler),
                                                    std::move(responseHandler));
}

} // namespace oxa
