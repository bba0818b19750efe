// Feeds arbitrary text, as a result text of the C interface, to every result
// constructor of the client transactions: each must give a result, never throw.
#include "client/transactions/AuthorizedSaleResult.h"
#include "client/transactions/BackupModeResult.h"
#include "client/transactions/BackupModeStatusResult.h"
#include "client/transactions/BalanceTerminalConsultationResult.h"
#include "client/transactions/CancelRetailResult.h"
#include "client/transactions/CheckCardValidityResult.h"
#include "client/transactions/DeliveryQuestion.h"
#include "client/transactions/GetTicketResult.h"
#include "client/transactions/LastTransactionResult.h"
#include "client/transactions/PrintTicketResult.h"
#include "client/transactions/RequestCardInfoResult.h"
#include "client/transactions/SaleResult.h"
#include "client/transactions/SaleWithCashbackResult.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Every result has succeeded or carries its error.
template <typename Result>
void readWhole(const Result& result)
{
    result.error();
    result.terminalIdentifier();
}

void readSale(const ect::SaleResultInfo& sale)
{
    sale.timeStamp();
    sale.proprietaryData();
    sale.clientTicket();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const std::string terminal = "T";
    const ect::SaleResult sale(ect::SaleAction::Sale, reply, terminal);
    readWhole(sale);
    readSale(sale);
    sale.saleSystemActionIdentifier();
    const ect::SaleWithCashbackResult cashback(reply, terminal);
    readWhole(cashback);
    readSale(cashback);
    readWhole(ect::AuthorizedSaleResult(ect::AuthorizedSaleAction::CancelSale, reply, terminal));
    const ect::LastTransactionResult last(reply, terminal);
    readWhole(last);
    last.incidentCode();
    readWhole(ect::GetTicketResult(reply, terminal));
    readWhole(ect::PrintTicketResult(reply, terminal));
    readWhole(ect::RequestCardInfoResult(reply, terminal));
    readWhole(ect::BackupModeResult(reply, terminal));
    readWhole(ect::BackupModeStatusResult(reply, terminal));
    readWhole(ect::BalanceTerminalConsultationResult(reply, terminal));
    readWhole(ect::CancelRetailResult(reply, terminal));
    readWhole(ect::CheckCardValidityResult(reply, terminal));
    if (ect::DeliveryQuestion::is(reply))
        readWhole(ect::SaleResult(ect::SaleAction::SaleWithDeliveryConfirmation,
                                  ect::DeliveryQuestion::asSaleReply(reply), terminal));
    return 0;
}
