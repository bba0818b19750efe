#include "translators/ZUVATransactionTable.h"

#include "translators/JsonZUVAInformationServiceRequest.h"
#include "translators/JsonZUVAInformationServiceResponse.h"

namespace oxa {

namespace {

template <typename Request, typename Response>
void add(JsonTransactionRequestHandler& handler, const char* action,
         const std::shared_ptr<OXAEnvironment>& environment, TransactionMethod method)
{
    handler.registerTransaction(QString::fromLatin1(action), std::make_unique<Request>(environment),
                                std::make_unique<Response>(), method);
}

} // namespace

void ZUVATransactionTable::registerTransactions(JsonTransactionRequestHandler& handler,
                                                const std::shared_ptr<OXAEnvironment>& environment,
                                                const std::weak_ptr<JsonTransactionRequestHandler>&)
{
    // One row per action, in this order: the sale family ("Sale" ...
    // "CashAdvanceAfterVoiceReferral", "BalanceTerminalConsultation"), the
    // backup mode, card recognition and validity, information, last
    // transaction, MMI, retail cancellation and ticket services.
    add<JsonZUVAInformationServiceRequest, JsonZUVAInformationServiceResponse>(handler, "InformationService",
                                                                              environment, Sequential);
}

} // namespace oxa
