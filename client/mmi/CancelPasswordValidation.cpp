#include "client/mmi/CancelPasswordValidation.h"

#include "client/TerminalContext.h"
#include "client/ZUVATransactionContext.h"
#include "engine/service/oxazuva.h"

namespace ect {

std::unique_ptr<Transaction> CancelPasswordValidation::move()
{
    return std::unique_ptr<Transaction>(new CancelPasswordValidation());
}

std::string CancelPasswordValidation::beginTransaction(TransactionContext& context)
{
    if (const std::shared_ptr<TerminalContext> terminal = context.terminalContext().lock())
        zuva_reset_transaction(terminal->getTerminalId().c_str());
    return std::string();
}

bool CancelPasswordValidation::endTransaction(const std::string&, std::function<void(const std::string&)>)
{
    return true;
}

} // namespace ect
