#include "translators/ZUVATransactionTable.h"

#include "translators/JsonProductDeliveryRequest.h"
#include "translators/JsonProductDeliveryResponse.h"
#include "translators/JsonZUVABackupModeChangeRequest.h"
#include "translators/JsonZUVABackupModeChangeResponse.h"
#include "translators/JsonZUVABackupModeStatusRequest.h"
#include "translators/JsonZUVABackupModeStatusResponse.h"
#include "translators/JsonZUVACardRecognitionRequest.h"
#include "translators/JsonZUVACardRecognitionResponse.h"
#include "translators/JsonZUVACardValidityCheckRequest.h"
#include "translators/JsonZUVACardValidityCheckResponse.h"
#include "translators/JsonZUVAInformationServiceRequest.h"
#include "translators/JsonZUVAInformationServiceResponse.h"
#include "translators/JsonZUVALastTransactionRequest.h"
#include "translators/JsonZUVALastTransactionResponse.h"
#include "translators/JsonZUVAMMICloseRequest.h"
#include "translators/JsonZUVAMMICloseResponse.h"
#include "translators/JsonZUVAMMIOpenRequest.h"
#include "translators/JsonZUVAMMIOpenResponse.h"
#include "translators/JsonZUVAMMIOperationRequest.h"
#include "translators/JsonZUVAMMIOperationResponse.h"
#include "translators/JsonZUVARequestBalanceRequest.h"
#include "translators/JsonZUVARequestBalanceResponse.h"
#include "translators/JsonZUVARetailCancelRequest.h"
#include "translators/JsonZUVARetailCancelResponse.h"
#include "translators/JsonZUVASaleTransactionRequest.h"
#include "translators/JsonZUVASaleTransactionResponse.h"
#include "translators/JsonZUVATicketGetRequest.h"
#include "translators/JsonZUVATicketGetResponse.h"
#include "translators/JsonZUVATicketPrintAtOnceRequest.h"
#include "translators/JsonZUVATicketPrintAtOnceResponse.h"
#include "translators/JsonZUVATicketPrintRequest.h"
#include "translators/JsonZUVATicketPrintResponse.h"

namespace oxa {

namespace {

template <typename Request, typename Response>
void add(JsonTransactionRequestHandler& handler, const char* action,
         const std::shared_ptr<OXAEnvironment>& environment, TransactionMethod method)
{
    handler.registerTransaction(QString::fromLatin1(action), std::make_unique<Request>(environment),
                                std::make_unique<Response>(), method);
}

// The sale-family rows: one sale request translator object per action.
void addSale(JsonTransactionRequestHandler& handler, const char* action,
             const std::shared_ptr<OXAEnvironment>& environment)
{
    add<JsonZUVASaleTransactionRequest, JsonZUVASaleTransactionResponse>(handler, action, environment, Sequential);
}

} // namespace

void ZUVATransactionTable::registerTransactions(JsonTransactionRequestHandler& handler,
                                                const std::shared_ptr<OXAEnvironment>& environment,
                                                const std::weak_ptr<JsonTransactionRequestHandler>& requestHandlerRef)
{
    // One row per action, in this order: the sale family ("Sale" ...
    // "CashAdvanceAfterVoiceReferral", "BalanceTerminalConsultation"), the
    // backup mode, card recognition and validity, information, last
    // transaction, MMI, retail cancellation and ticket services.
    addSale(handler, "Sale", environment);
    addSale(handler, "CancelSale", environment);
    // The delivery question "CR" answers the sale; the host's answer goes
    // back as a nested "ProductDelivery" that takes over the sale's result.
    handler.registerTransaction(QStringLiteral("SaleWithDeliveryConfirmation"),
                                std::make_unique<JsonZUVASaleTransactionRequest>(environment),
                                std::make_unique<JsonProductDeliveryResponse>(requestHandlerRef), Sequential);
    add<JsonProductDeliveryRequest, JsonZUVASaleTransactionResponse>(handler, "ProductDelivery", environment,
                                                                    ImmediateNested);
    addSale(handler, "SaleWithCashback", environment);
    addSale(handler, "Reservation", environment);
    addSale(handler, "SaleAfterReservation", environment);
    addSale(handler, "CancelReservation", environment);
    addSale(handler, "CancelSaleAfterReservation", environment);
    addSale(handler, "Refund", environment);
    addSale(handler, "SaleAfterVoiceReferral", environment);
    addSale(handler, "CashAdvance", environment);
    addSale(handler, "CancelCashAdvance", environment);
    addSale(handler, "CashAdvanceAfterVoiceReferral", environment);
    add<JsonZUVARequestBalanceRequest, JsonZUVARequestBalanceResponse>(handler, "BalanceTerminalConsultation",
                                                                      environment, Sequential);
    add<JsonZUVABackupModeChangeRequest, JsonZUVABackupModeChangeResponse>(handler, "BackupMode", environment,
                                                                          Sequential);
    add<JsonZUVABackupModeStatusRequest, JsonZUVABackupModeStatusResponse>(handler, "BackupModeStatus",
                                                                          environment, Sequential);
    add<JsonZUVACardRecognitionRequest, JsonZUVACardRecognitionResponse>(handler, "RequestCardInfo", environment,
                                                                        Sequential);
    add<JsonZUVACardValidityCheckRequest, JsonZUVACardValidityCheckResponse>(handler, "CheckCardValidity",
                                                                            environment, Sequential);
    add<JsonZUVAInformationServiceRequest, JsonZUVAInformationServiceResponse>(handler, "InformationService",
                                                                              environment, Sequential);
    add<JsonZUVALastTransactionRequest, JsonZUVALastTransactionResponse>(handler, "LastTransaction", environment,
                                                                        Sequential);
    add<JsonZUVAMMIOpenRequest, JsonZUVAMMIOpenResponse>(handler, "MMIOpen", environment, Sequential);
    // Clearing the screen must not wait behind a display operation: the one
    // in flight is dropped (and failed) and the close is sent at once.
    add<JsonZUVAMMICloseRequest, JsonZUVAMMICloseResponse>(handler, "MMIClose", environment, ImmediateClearQueue);
    add<JsonZUVAMMIOperationRequest, JsonZUVAMMIOperationResponse>(handler, "MMITransaction", environment,
                                                                  Sequential);
    // A cancellation may be asked while a sale is in flight; the sale is set
    // aside and still takes its own reply.
    add<JsonZUVARetailCancelRequest, JsonZUVARetailCancelResponse>(handler, "CancelRetail", environment,
                                                                  ImmediateQueue);
    add<JsonZUVATicketGetRequest, JsonZUVATicketGetResponse>(handler, "TicketGet", environment, Sequential);
    add<JsonZUVATicketPrintRequest, JsonZUVATicketPrintResponse>(handler, "PrintTicket", environment, Sequential);
    add<JsonZUVATicketPrintAtOnceRequest, JsonZUVATicketPrintAtOnceResponse>(handler, "TicketPrintAtOnce",
                                                                            environment, Sequential);
}

UnawaitedReplies ZUVATransactionTable::unawaitedReplies()
{
    return {std::make_shared<JsonZUVASaleTransactionResponse>(), std::make_shared<JsonZUVAMMIOperationResponse>()};
}

} // namespace oxa
