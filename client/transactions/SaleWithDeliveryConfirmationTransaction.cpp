#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"

#include "client/Contained.h"

namespace ect {

bool SaleWithDeliveryConfirmationTransaction::endTransaction(const std::string& reply,
                                                             std::function<void(const std::string&)> respond)
{
    if (reply.empty())
        return false;
    return SaleWithDeliveryConfirmationTable::endTransaction(reply, std::move(respond));
}

Json::Value SaleWithDeliveryConfirmationTransaction::saleRequest(const Amount& amount)
{
    return SaleLikeTransaction::saleRequest(toString(SaleAction::SaleWithDeliveryConfirmation), "Sale", amount);
}

DeliveryCallback SaleWithDeliveryConfirmationTransaction::saleExtra(const Amount& /*amount*/,
                                                                    DeliveryCallback deliveryCallback)
{
    return deliveryCallback;
}

SaleResult SaleWithDeliveryConfirmationTransaction::makeResult(const std::string& reply)
{
    return SaleResult(SaleAction::SaleWithDeliveryConfirmation, reply, terminalId());
}

std::string SaleWithDeliveryConfirmationTransaction::answerQuestion(const std::string& question)
{
    const DeliveryCallback& deliveryCallback = extra();
    if (!deliveryCallback)
        return DeliveryQuestion::refusal();
    // Refused unless the callback says otherwise; what it throws stays here.
    ProductDeliveryBlockReturnValue verdict = ProductDeliveryBlockReturnValue(0);
    const SaleResult asked = makeResult(DeliveryQuestion::asSaleReply(question));
    contained("delivery callback", [&] { verdict = deliveryCallback(asked); });
    return jsonResponseFromProductDeliveryReturnValue(verdict);
}

} // namespace ect
