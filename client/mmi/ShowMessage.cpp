#include "client/mmi/ShowMessage.h"

#include "client/TerminalContext.h"
#include "client/ZUVATransactionContext.h"
#include "client/mmi/MMIRequests.h"
#include "client/mmi/MMITransaction.h"
#include "client/mmi/ScreenParameter.h"

namespace ect {

ShowMessage::ShowMessage(int textIdentifier, std::string language, int displayTimeout, Callback callback)
    : ShowMessage(ScreenParameter::make(textIdentifier, language, displayTimeout), std::move(callback))
{
}

ShowMessage::ShowMessage(int textIdentifier, std::string language, int displayTimeout, FreeText freeText,
                         Callback callback)
    : ShowMessage(ScreenParameter::make(textIdentifier, language, displayTimeout, std::move(freeText)),
                  std::move(callback))
{
}

ShowMessage::ShowMessage(MMIParameter parameter, Callback callback)
    : MMIRequestTransaction("MMIOpen", MMIRequests::open(),
                            [parameter = std::move(parameter), callback = std::move(callback)](
                                const MMITransactionResult& openResult,
                                const std::shared_ptr<TerminalContext>& terminal) {
                                showTheMessage(openResult, parameter, callback, terminal);
                            })
{
}

std::unique_ptr<Transaction> ShowMessage::move()
{
    return std::unique_ptr<Transaction>(new ShowMessage(releaseState()));
}

void showTheMessage(const MMITransactionResult& openResult, MMIParameter parameter,
                    std::function<void(const MMITransactionResult&)> callback,
                    std::shared_ptr<TerminalContext> terminal)
{
    if (!openResult.error())
        terminal->makeTransaction(MMITransaction(std::move(parameter), std::move(callback)));
    else if (callback) {
        TransactionContext::endHandledStep();
        callback(openResult);
    }
}

} // namespace ect
